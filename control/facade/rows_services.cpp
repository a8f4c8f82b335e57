// Type-library rows of the identity, network, password and camera-service methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Services(std::vector<MemberInfo>& lib) {
    const MemberInfo rows[] = {
        Method<&CKestCtrl::GetMacAddress>(
            16, "GetMacAddress", {{"MacAddress"}}, "The camera's MAC address as \"%02X.%02X...\".",
            "scmd_get_mac_address",
            "7 no address; 1 session cannot be opened; 0 done, MacAddress set; "
            "2 refused (status 1); 100 the command rejects its argument (-10); "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::StartLocalRec>(
            37, "StartLocalRec", {}, "Starts recording to the camera's memory card.",
            "scmd_start_local_rec",
            "7 no address; 1 session cannot be opened; 0 done; 9 status 1; 2 status 2; "
            "6 any other status; 5 no camera object, no reply or another negative result"),
        Method<&CKestCtrl::StopLocalRec>(
            38, "StopLocalRec", {}, "Stops recording to the camera's memory card.",
            "scmd_stop_local_rec",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "6 any other status; 5 no camera object, no reply or another negative result"),
        Method<&CKestCtrl::DeleteLocalRecFile>(
            39, "DeleteLocalRecFile", {{"Filename"}},
            "Deletes one recorded file on the camera (name of at most 31 characters).",
            "scmd_del_local_recfile",
            "100 Filename 32 characters or longer (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 101 status 2; 9 status 3; "
            "6 any other status; 5 no camera object, no reply or another negative result"),
        Method<&CKestCtrl::DeleteLocalRecFileAll>(
            40, "DeleteLocalRecFileAll", {}, "Deletes every recorded file on the camera.",
            "scmd_del_local_recfile_all",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetLocalRecStatus>(
            41, "GetLocalRecStatus", {{"Status1"}, {"Status2"}, {"Filename"}, {"DateTime", 16}},
            "The camera's recording state; DateTime is eight 16-bit words (word 6 untouched).",
            "scmd_get_local_rec_status",
            "100 DateTime smaller than 16 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; "
            "0 done: Status1, Status2, Filename and DateTime words 0 to 5 and 7 set (word 6 "
            "untouched); "
            "2 Status1 is 2 (only Filename set); "
            "5 no camera object, no reply or another negative result (Filename comes back empty)"),
        Method<&CKestCtrl::GetLocalRecInformation>(
            42, "GetLocalRecInformation",
            {{"Trigger", 4},
             {"AlarmRec", 4},
             {"TimerRec", 180},
             {"ChangeFps", 8},
             {"CFFull", 4},
             {"TimeLapse", 4}},
            "The camera's recording settings; ChangeFps words carry frames per second in their "
            "high halves.",
            "scmd_get_local_rec_info",
            "100 a block smaller than its layout (Trigger, AlarmRec, CFFull, TimeLapse 4 bytes, "
            "TimerRec 180, ChangeFps 8), before any traffic; "
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "6 status 2, or a frame-rate index without a frames-per-second value; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetLocalRecInformation>(
            43, "SetLocalRecInformation",
            {{"Trigger", 4},
             {"AlarmRec", 4},
             {"TimerRec", 180},
             {"ChangeFps", 8},
             {"CFFull", 4},
             {"TimeLapse", 4}},
            "Writes the camera's recording settings; frame rates 30, 15, 10, 8, 7, 6, 5, 4, 3, 2 "
            "or 1.",
            "scmd_set_local_rec_info",
            "100 a block smaller than its layout (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); "
            "100 status 2, or a ChangeFps frame rate other than 30, 15, 10, 8, 7, 6, 5, 4, 3, 2 "
            "and 1 (nothing sent); "
            "6 status 3; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetCurrentDatetime>(
            44, "SetCurrentDatetime", {{"NTP"}, {"NTPSetting", 10}, {"DateTime", 16}},
            "Sets the camera's clock and NTP settings.", "scmd_set_current_datetime",
            "100 NTPSetting smaller than 10 bytes or DateTime smaller than 16 (before any "
            "traffic); "
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetCurrentDateTime>(
            45, "GetCurrentDateTime", {{"NTP"}, {"NTPSetting", 10}, {"DateTime", 16}},
            "Reads the camera's clock and NTP settings.", "scmd_get_current_datetime",
            "100 NTPSetting smaller than 10 bytes or DateTime smaller than 16 (before any "
            "traffic); "
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetCFInformaiton>(
            46, "GetCFInformaiton", {{"Count"}, {"CF1", 292}, {"CF2", 292}},
            "The camera's memory-card information.", "scmd_get_cf_info",
            "100 CF1 or CF2 smaller than 292 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetNewIPAddress>(
            73, "SetNewIPAddress", {{"NewIPAddress"}},
            "The camera's new IPv4 address (applies at reset).", "scmd_set_ip_address",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "100 NewIPAddress not four numbers each 0 to 255 (nothing sent); "
            "5 no camera object or no reply"),
        Method<&CKestCtrl::GetSubnetMask>(
            74, "GetSubnetMask", {{"SubnetMask"}}, "The camera's subnet mask.",
            "scmd_get_subnet_mask",
            "7 no address; 1 session cannot be opened; 0 done, SubnetMask set; "
            "2 refused (status 1); 100 the command rejects its argument (-10); "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetSubnetMask>(
            75, "SetSubnetMask", {{"SubnetMask"}}, "Sets the camera's subnet mask.",
            "scmd_set_subnet_mask",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "100 SubnetMask not four numbers each 0 to 255 (nothing sent); "
            "5 no camera object or no reply"),
        Method<&CKestCtrl::GetDefaultGateway>(
            76, "GetDefaultGateway", {{"DefaultGateway"}}, "The camera's default gateway.",
            "scmd_get_default_gateway",
            "7 no address; 1 session cannot be opened; 0 done, DefaultGateway set; "
            "2 refused (status 1); 100 the command rejects its argument (-10); "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetDefaultGateway>(
            77, "SetDefaultGateway", {{"DefaultGateway"}}, "Sets the camera's default gateway.",
            "scmd_set_default_gateway",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "100 DefaultGateway not four numbers each 0 to 255 (nothing sent); "
            "5 no camera object or no reply"),
        Method<&CKestCtrl::GetCameraID>(
            78, "GetCameraID", {{"CameraID"}}, "The camera's 8-character ID.", "scmd_get_camera_id",
            "7 no address; 1 session cannot be opened; 0 done, CameraID set; "
            "100 an argument missing (-100); 5 no camera object, no reply or any other result"),
        Method<&CKestCtrl::SetCameraID>(
            79, "SetCameraID", {{"CameraID"}}, "Sets the camera's ID (first 8 characters).",
            "scmd_set_camera_id",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (any status but 0); "
            "100 an argument missing (-100); 5 no camera object or no reply"),
        Method<&CKestCtrl::GetPasswordEnable>(
            85, "GetPasswordEnable", {{"Level"}, {"Enable"}},
            "Whether a password is enabled: Level 0 user, 1 main, 2 super.",
            "scmd_get_user_passwd_enable, scmd_get_passwd_enable, scmd_get_super_passwd_enable",
            "7 no address; 1 session cannot be opened; 100 Level outside 0 to 2 (nothing sent); "
            "0 done, Enable 0 or 1; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetPasswordEnable>(
            86, "SetPasswordEnable", {{"Level"}, {"Enable"}, {"Password"}},
            "Enable 1 sets the level's password (old: the Password property); 0 disables it.",
            "scmd_set_passwd_user, scmd_set_passwd, scmd_set_super_passwd, "
            "scmd_set_passwd_disable_user, scmd_set_passwd_disable, "
            "scmd_set_super_passwd_disable",
            "7 no address; 1 session cannot be opened; "
            "100 Enable not 0 or 1, or Level outside 0 to 2 (nothing sent); 0 done; "
            "2 refused (-2: wrong password); 100 the command rejects an argument (-100); "
            "5 no camera object, no reply or any other result"),
        Method<&CKestCtrl::CheckPassword>(
            87, "CheckPassword", {{"Level"}, {"Password"}},
            "Checks a password; it becomes the password of every later command.",
            "scmd_check_user_passwd, scmd_check_passwd, scmd_check_admin_passwd",
            "7 no address; 1 session cannot be opened; 100 Level outside 0 to 2 (nothing sent); "
            "0 right password; 2 wrong password (status 1); 5 no camera object or no reply"),
        Method<&CKestCtrl::SetControlPortConfig>(
            96, "SetControlPortConfig", {{"PortNo"}, {"DeviceType"}, {"PortSetting", 10}},
            "Configures a control port: 32-bit speed, then three 16-bit values.",
            "scmd_set_port_config",
            "100 PortSetting smaller than 10 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (result 1); 100 result 2 or 3; "
            "6 result 4; 5 no camera object, no reply or any other result"),
        Method<&CKestCtrl::GetControlPortConfig>(
            97, "GetControlPortConfig", {{"PortNo"}, {"DeviceType"}, {"PortSetting", 14}},
            "A control port's configuration: 32-bit speed, then five 16-bit values.",
            "scmd_get_port_config",
            "100 PortSetting smaller than 14 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetControlPortMode>(
            98, "SetControlPortMode", {{"Command"}, {"PortNo1"}, {"PortNo2"}},
            "Sets the mode of the control ports.", "scmd_set_port_mode",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetControlPortMode>(
            99, "GetControlPortMode", {{"PortNo"}, {"PortStatus"}}, "A control port's mode.",
            "scmd_get_port_mode",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::PassThroughCommand>(
            100, "PassThroughCommand",
            {{"PortNo"},
             {"NoOfCommand"},
             {"SendCommand"},
             {"SendCommandSize"},
             {"AckCommand"},
             {"AckCommandSize"},
             {"Timeout"}},
            "Sends up to 1460 bytes to a control port and returns its answer, waiting Timeout "
            "ms.",
            "scmd_pass_through_cmd",
            "100 SendCommandSize negative, above 1460 or beyond the SendCommand buffer (before any "
            "traffic); "
            "7 no address; 1 session cannot be opened; "
            "0 done, the answer in AckCommand and AckCommandSize (the camera's size, never more "
            "than the bytes received); 2 result 1; 6 result 2 or 5; "
            "100 result 3 or 4; 5 no camera object, no reply or any other result"),
        Method<&CKestCtrl::SetFTPInit>(
            103, "SetFTPInit", {{"Enable"}, {"ServerPort"}, {"IPAddress", 4}, {"FTPSetting", 164}},
            "Sets the camera's FTP upload settings.", "scmd_ftp_init",
            "100 IPAddress smaller than 4 bytes or FTPSetting smaller than 164 (before any "
            "traffic); "
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
            "6 status 3; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetFTPInit>(
            104, "GetFTPInit", {{"Enable"}, {"ServerPort"}, {"IPAddress", 4}, {"FTPSetting", 164}},
            "The camera's FTP upload settings.", "scmd_ftp_get_init",
            "100 IPAddress smaller than 4 bytes or FTPSetting smaller than 164 (before any "
            "traffic); "
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::ResetCamera>(
            107, "ResetCamera", {}, "Restarts the camera; new network settings apply.",
            "scmd_reset_camera",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetMulticastMode>(
            108, "GetMulticastMode",
            {{"Mode"},
             {"MulticastIPAddress", 4},
             {"BurstCount"},
             {"BurstInterval"},
             {"MulitcastPort"},
             {"TTL"}},
            "The camera's multicast streaming settings.", "scmd_get_multicast_mode",
            "100 MulticastIPAddress smaller than 4 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetMulticastMode>(
            109, "SetMulticastMode",
            {{"Mode"},
             {"MulticastIPAddress", 4},
             {"BurstCount"},
             {"BurstInterval"},
             {"MulticastPort"},
             {"TTL"}},
            "Sets the camera's multicast streaming settings.", "scmd_set_multicast_mode",
            "100 MulticastIPAddress smaller than 4 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetFTPServerEnable>(
            115, "SetFTPServerEnable", {{"Status"}}, "Turns the camera's FTP server on or off.",
            "scmd_set_ftp_server_enable",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetFTPSeverEnable>(
            116, "GetFTPSeverEnable", {{"Status"}}, "Whether the camera's FTP server is on.",
            "scmd_get_ftp_server_enable",
            "7 no address; 1 session cannot be opened; 0 done, Status set; 2 refused (status 1); "
            "6 status 2; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetHTTPDefaultPage>(
            117, "SetHTTPDefaultPage", {{"Filename"}},
            "The web server's default page (1 to 20 "
            "characters).",
            "scmd_set_http_default_page",
            "100 Filename 32 characters or longer (before any traffic); 7 no address; "
            "1 session cannot be opened; "
            "101 Filename empty or longer than 20 characters (nothing sent); 0 done; "
            "2 refused (status 1); 6 status 2; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetHTTPDefaultPage>(
            118, "GetHTTPDefaultPage", {{"Filename", 32}},
            "The web server's default page name (32 bytes).", "scmd_get_http_default_page",
            "100 Filename smaller than 32 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done, the page name in the buffer; "
            "2 refused (status 1); 6 status 2; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetHTTPGeneralSetting>(
            119, "SetHTTPGeneralSetting", {{"SubCommand"}, {"Value"}},
            "Sets one web server setting (SubCommand 0-3).", "scmd_set_http_general_setting",
            "101 SubCommand outside 0 to 3 (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetHTTPGeneralSetting>(
            120, "GetHTTPGeneralSetting", {{"SubCommand"}, {"Value"}},
            "One web server setting (SubCommand 0-3).", "scmd_get_http_general_setting",
            "101 SubCommand outside 0 to 3 (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done, Value set; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetIPAddress>(
            121, "GetIPAddress", {{"IPAddress"}}, "The camera's IPv4 address.",
            "scmd_get_IP_address",
            "7 no address; 1 session cannot be opened; 0 done, IPAddress set; "
            "2 refused (status 1); 6 status 2; 5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetDHCP>(
            122, "SetDHCP", {{"Enabled"}}, "Turns the camera's DHCP client on or off.",
            "scmd_set_DHCP",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetDHCP>(
            123, "GetDHCP",
            {{"Enabled"}, {"Status"}, {"IPAddress", 4}, {"LeaseObtained"}, {"LeaseExpires"}},
            "The camera's DHCP state, server address and lease times.", "scmd_get_DHCP",
            "100 IPAddress smaller than 4 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetMPEG4Parameter>(
            124, "SetMPEG4Parameter", {{"FramerateMode"}, {"Bitrate"}},
            "MPEG-4 frame-rate mode (0-2) and bit rate (64-2048).", "scmd_set_mpeg4_param",
            "101 FramerateMode outside 0 to 2; "
            "102 Bitrate outside 64 to 2048 (both before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::GetMPEG4Parameter>(
            125, "GetMPEG4Parameter", {{"FramerateMode"}, {"Bitrate"}},
            "The camera's MPEG-4 parameters.", "scmd_get_mpeg4_param",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&CKestCtrl::SetHTTPPort>(
            127, "SetHTTPPort", {{"PortNo"}}, "The web server's port.", "scmd_set_http_port",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "6 the camera rejects the port (status 2); 100 PortNo 0 (nothing sent); "
            "5 no camera object or no reply"),
        Method<&CKestCtrl::GetHTTPPort>(
            128, "GetHTTPPort", {{"PortNo"}}, "The web server's port.", "scmd_get_http_port",
            "7 no address; 1 session cannot be opened; 0 done, PortNo set; "
            "5 no camera object or no reply"),
    };
    lib.insert(lib.end(), std::begin(rows), std::end(rows));
}

}  // namespace kest::rows
