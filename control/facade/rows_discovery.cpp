// Type-library rows of the camera search and alarm methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Discovery(std::vector<MemberInfo>& lib) {
    lib.push_back(Method<&CKestCtrl::SearchPALOMIR>(
        88, "SearchPALOMIR", {{"IPList"}, {"BufferSize"}, {"Number"}, {"Timeout"}},
        "Broadcast search: the cameras' addresses (4 bytes each) into IPList, Timeout in tenths "
        "of a second per pass, 10 passes.",
        "scmd_get_ip_adr (broadcast)",
        "5 no camera object; "
        "100 BufferSize below 4 or beyond the IPList buffer (nothing sent); "
        "0 done after about Timeout seconds (no address or session needed): Number addresses in "
        "IPList, 0 when none answered"));
    lib.push_back(Method<&CKestCtrl::SearchMulticastIP>(
        110, "SearchMulticastIP", {{"IPList"}, {"BufferSize"}, {"Number"}, {"Timeout"}},
        "Multicast search: one 12-byte record per camera (address, multicast address, value).",
        "scmd_get_multicast_adr (broadcast)",
        "5 no camera object; "
        "100 BufferSize below 12 or beyond the IPList buffer (nothing sent); "
        "0 done after about Timeout seconds (no address or session needed): Number records in "
        "IPList, 0 when none answered"));
    lib.push_back(Method<&CKestCtrl::AlarmRegister>(
        11, "AlarmRegister", {}, "Registers this control's alarm port with the camera.",
        "cl_alarm_regist",
        "5 no camera object, no alarm socket or alarm port 0; 7 no address; "
        "1 session cannot be opened; 8 a model other than 3, 11, 13 and 20 (nothing sent); "
        "0 done; 2 refused (status 1); 3 status 2; 6 status 3; 5 no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmDeregister>(
        12, "AlarmDeregister", {}, "Removes this control's alarm port from the camera.",
        "cl_alarm_deregist",
        "5 no camera object, no alarm socket or alarm port 0; 7 no address; "
        "1 session cannot be opened; 8 a model other than 3, 11, 13 and 20 (nothing sent); "
        "0 done; 2 refused (status 1); 3 status 2; 6 status 3; 5 no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmOut>(
        89, "AlarmOut", {{"Flag"}}, "Switches the camera's alarm output.",
        "cl_alarm_out (2450 for Flag 0, else 2449)",
        "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 10 status 2; "
        "6 status 3; 5 no camera object, no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmSetCount>(
        90, "AlarmSetCount", {{"Count"}}, "Sets the alarm recipient count (0 to 10).",
        "cl_alarm_set_count",
        "5 no camera object; 7 no address; 100 Count outside 0 to 10 (nothing sent); "
        "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
        "5 no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmGetCount>(
        91, "AlarmGetCount", {{"Count"}}, "Reads the alarm recipient count.", "cl_alarm_get_count",
        "7 no address; 1 session cannot be opened; 0 done, Count set; 2 refused (status 1); "
        "100 status 2; 5 no camera object, no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmSetInit>(
        92, "AlarmSetInit", {{"AlarmSetting", 36}}, "Writes the 36-byte alarm settings block.",
        "cl_alarm_set_init",
        "100 AlarmSetting smaller than 36 bytes (before any traffic); 7 no address; "
        "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
        "5 no camera object, no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmGetInit>(
        93, "AlarmGetInit", {{"AlarmSetting", 36}}, "Reads the 36-byte alarm settings block.",
        "cl_alarm_get_init",
        "100 AlarmSetting smaller than 36 bytes (before any traffic); 7 no address; "
        "1 session cannot be opened; 0 done, the block copied; 2 refused (status 1); "
        "5 no camera object, no reply or any other status"));
    lib.push_back(Method<&CKestCtrl::AlarmGetList>(
        94, "AlarmGetList", {{"Count"}, {"AlarmList"}, {"Size"}},
        "Reads the recipient list: Count recipients, 12-byte records into AlarmList (Size bytes).",
        "cl_alarm_get_list",
        "7 no address; 1 session cannot be opened; "
        "0 done: Count is the number of recipients whose records the reply holds, at most "
        "Size / 12 records copied; "
        "2 refused (status 1); 5 no camera object, no reply, a negative count or any other "
        "status"));
    lib.push_back(Method<&CKestCtrl::AlarmDeregisterIndirect>(
        95, "AlarmDeregisterIndirect", {{"IPAddress", 4}, {"Port"}},
        "Removes another recipient, given its 4 address bytes and port.",
        "cl_alarm_deregist_indirect",
        "100 IPAddress smaller than 4 bytes (before any traffic); 7 no address; "
        "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
        "5 no camera object, no reply or any other status"));
}

}  // namespace kest::rows
