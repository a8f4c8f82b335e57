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
        "scmd_get_ip_adr (broadcast)"));
    lib.push_back(Method<&CKestCtrl::SearchMulticastIP>(
        110, "SearchMulticastIP", {{"IPList"}, {"BufferSize"}, {"Number"}, {"Timeout"}},
        "Multicast search: one 12-byte record per camera (address, multicast address, value).",
        "scmd_get_multicast_adr (broadcast)"));
    lib.push_back(Method<&CKestCtrl::AlarmRegister>(
        11, "AlarmRegister", {}, "Registers this control's alarm port with the camera.",
        "cl_alarm_regist"));
    lib.push_back(Method<&CKestCtrl::AlarmDeregister>(
        12, "AlarmDeregister", {}, "Removes this control's alarm port from the camera.",
        "cl_alarm_deregist"));
    lib.push_back(Method<&CKestCtrl::AlarmOut>(89, "AlarmOut", {{"Flag"}},
                                               "Switches the camera's alarm output.",
                                               "cl_alarm_out (2450 for Flag 0, else 2449)"));
    lib.push_back(Method<&CKestCtrl::AlarmSetCount>(90, "AlarmSetCount", {{"Count"}},
                                                    "Sets the alarm recipient count (0 to 10).",
                                                    "cl_alarm_set_count"));
    lib.push_back(Method<&CKestCtrl::AlarmGetCount>(91, "AlarmGetCount", {{"Count"}},
                                                    "Reads the alarm recipient count.",
                                                    "cl_alarm_get_count"));
    lib.push_back(Method<&CKestCtrl::AlarmSetInit>(92, "AlarmSetInit", {{"AlarmSetting", 36}},
                                                   "Writes the 36-byte alarm settings block.",
                                                   "cl_alarm_set_init"));
    lib.push_back(Method<&CKestCtrl::AlarmGetInit>(93, "AlarmGetInit", {{"AlarmSetting", 36}},
                                                   "Reads the 36-byte alarm settings block.",
                                                   "cl_alarm_get_init"));
    lib.push_back(Method<&CKestCtrl::AlarmGetList>(
        94, "AlarmGetList", {{"Count"}, {"AlarmList"}, {"Size"}},
        "Reads the recipient list: Count recipients, 12-byte records into AlarmList (Size bytes).",
        "cl_alarm_get_list"));
    lib.push_back(Method<&CKestCtrl::AlarmDeregisterIndirect>(
        95, "AlarmDeregisterIndirect", {{"IPAddress", 4}, {"Port"}},
        "Removes another recipient, given its 4 address bytes and port.",
        "cl_alarm_deregist_indirect"));
}

}  // namespace kest::rows
