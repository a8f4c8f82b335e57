// Type-library rows of the identity, network, password and camera-service methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Services(std::vector<MemberInfo>& lib) {
    const MemberInfo rows[] = {
        Method<&CKestCtrl::GetMacAddress>(16, "GetMacAddress", {{"MacAddress"}},
                                          "The camera's MAC address as \"%02X.%02X...\".",
                                          "scmd_get_mac_address"),
        Method<&CKestCtrl::StartLocalRec>(37, "StartLocalRec", {},
                                          "Starts recording to the camera's memory card.",
                                          "scmd_start_local_rec"),
        Method<&CKestCtrl::StopLocalRec>(38, "StopLocalRec", {},
                                         "Stops recording to the camera's memory card.",
                                         "scmd_stop_local_rec"),
        Method<&CKestCtrl::DeleteLocalRecFile>(
            39, "DeleteLocalRecFile", {{"Filename"}},
            "Deletes one recorded file on the camera (name of at most 31 characters).",
            "scmd_del_local_recfile"),
        Method<&CKestCtrl::DeleteLocalRecFileAll>(40, "DeleteLocalRecFileAll", {},
                                                  "Deletes every recorded file on the camera.",
                                                  "scmd_del_local_recfile_all"),
        Method<&CKestCtrl::GetLocalRecStatus>(
            41, "GetLocalRecStatus", {{"Status1"}, {"Status2"}, {"Filename"}, {"DateTime", 16}},
            "The camera's recording state; DateTime is eight 16-bit words (word 6 untouched).",
            "scmd_get_local_rec_status"),
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
            "scmd_get_local_rec_info"),
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
            "scmd_set_local_rec_info"),
        Method<&CKestCtrl::SetCurrentDatetime>(
            44, "SetCurrentDatetime", {{"NTP"}, {"NTPSetting", 10}, {"DateTime", 16}},
            "Sets the camera's clock and NTP settings.", "scmd_set_current_datetime"),
        Method<&CKestCtrl::GetCurrentDateTime>(
            45, "GetCurrentDateTime", {{"NTP"}, {"NTPSetting", 10}, {"DateTime", 16}},
            "Reads the camera's clock and NTP settings.", "scmd_get_current_datetime"),
        Method<&CKestCtrl::GetCFInformaiton>(
            46, "GetCFInformaiton", {{"Count"}, {"CF1", 292}, {"CF2", 292}},
            "The camera's memory-card information.", "scmd_get_cf_info"),
        Method<&CKestCtrl::SetNewIPAddress>(73, "SetNewIPAddress", {{"NewIPAddress"}},
                                            "The camera's new IPv4 address (applies at reset).",
                                            "scmd_set_ip_address"),
        Method<&CKestCtrl::GetSubnetMask>(74, "GetSubnetMask", {{"SubnetMask"}},
                                          "The camera's subnet mask.", "scmd_get_subnet_mask"),
        Method<&CKestCtrl::SetSubnetMask>(75, "SetSubnetMask", {{"SubnetMask"}},
                                          "Sets the camera's subnet mask.", "scmd_set_subnet_mask"),
        Method<&CKestCtrl::GetDefaultGateway>(76, "GetDefaultGateway", {{"DefaultGateway"}},
                                              "The camera's default gateway.",
                                              "scmd_get_default_gateway"),
        Method<&CKestCtrl::SetDefaultGateway>(77, "SetDefaultGateway", {{"DefaultGateway"}},
                                              "Sets the camera's default gateway.",
                                              "scmd_set_default_gateway"),
        Method<&CKestCtrl::GetCameraID>(78, "GetCameraID", {{"CameraID"}},
                                        "The camera's 8-character ID.", "scmd_get_camera_id"),
        Method<&CKestCtrl::SetCameraID>(79, "SetCameraID", {{"CameraID"}},
                                        "Sets the camera's ID (first 8 characters).",
                                        "scmd_set_camera_id"),
        Method<&CKestCtrl::GetPasswordEnable>(
            85, "GetPasswordEnable", {{"Level"}, {"Enable"}},
            "Whether a password is enabled: Level 0 user, 1 main, 2 super.",
            "scmd_get_user_passwd_enable, scmd_get_passwd_enable, scmd_get_super_passwd_enable"),
        Method<&CKestCtrl::SetPasswordEnable>(
            86, "SetPasswordEnable", {{"Level"}, {"Enable"}, {"Password"}},
            "Enable 1 sets the level's password (old: the Password property); 0 disables it.",
            "scmd_set_passwd_user, scmd_set_passwd, scmd_set_super_passwd, "
            "scmd_set_passwd_disable_user, scmd_set_passwd_disable, "
            "scmd_set_super_passwd_disable"),
        Method<&CKestCtrl::CheckPassword>(
            87, "CheckPassword", {{"Level"}, {"Password"}},
            "Checks a password; it becomes the password of every later command.",
            "scmd_check_user_passwd, scmd_check_passwd, scmd_check_admin_passwd"),
        Method<&CKestCtrl::SetControlPortConfig>(
            96, "SetControlPortConfig", {{"PortNo"}, {"DeviceType"}, {"PortSetting", 10}},
            "Configures a control port: 32-bit speed, then three 16-bit values.",
            "scmd_set_port_config"),
        Method<&CKestCtrl::GetControlPortConfig>(
            97, "GetControlPortConfig", {{"PortNo"}, {"DeviceType"}, {"PortSetting", 14}},
            "A control port's configuration: 32-bit speed, then five 16-bit values.",
            "scmd_get_port_config"),
        Method<&CKestCtrl::SetControlPortMode>(
            98, "SetControlPortMode", {{"Command"}, {"PortNo1"}, {"PortNo2"}},
            "Sets the mode of the control ports.", "scmd_set_port_mode"),
        Method<&CKestCtrl::GetControlPortMode>(99, "GetControlPortMode",
                                               {{"PortNo"}, {"PortStatus"}},
                                               "A control port's mode.", "scmd_get_port_mode"),
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
            "scmd_pass_through_cmd"),
        Method<&CKestCtrl::SetFTPInit>(
            103, "SetFTPInit", {{"Enable"}, {"ServerPort"}, {"IPAddress", 4}, {"FTPSetting", 164}},
            "Sets the camera's FTP upload settings.", "scmd_ftp_init"),
        Method<&CKestCtrl::GetFTPInit>(
            104, "GetFTPInit", {{"Enable"}, {"ServerPort"}, {"IPAddress", 4}, {"FTPSetting", 164}},
            "The camera's FTP upload settings.", "scmd_ftp_get_init"),
        Method<&CKestCtrl::ResetCamera>(107, "ResetCamera", {},
                                        "Restarts the camera; new network settings apply.",
                                        "scmd_reset_camera"),
        Method<&CKestCtrl::GetMulticastMode>(108, "GetMulticastMode",
                                             {{"Mode"},
                                              {"MulticastIPAddress", 4},
                                              {"BurstCount"},
                                              {"BurstInterval"},
                                              {"MulitcastPort"},
                                              {"TTL"}},
                                             "The camera's multicast streaming settings.",
                                             "scmd_get_multicast_mode"),
        Method<&CKestCtrl::SetMulticastMode>(109, "SetMulticastMode",
                                             {{"Mode"},
                                              {"MulticastIPAddress", 4},
                                              {"BurstCount"},
                                              {"BurstInterval"},
                                              {"MulticastPort"},
                                              {"TTL"}},
                                             "Sets the camera's multicast streaming settings.",
                                             "scmd_set_multicast_mode"),
        Method<&CKestCtrl::SetFTPServerEnable>(115, "SetFTPServerEnable", {{"Status"}},
                                               "Turns the camera's FTP server on or off.",
                                               "scmd_set_ftp_server_enable"),
        Method<&CKestCtrl::GetFTPSeverEnable>(116, "GetFTPSeverEnable", {{"Status"}},
                                              "Whether the camera's FTP server is on.",
                                              "scmd_get_ftp_server_enable"),
        Method<&CKestCtrl::SetHTTPDefaultPage>(117, "SetHTTPDefaultPage", {{"Filename"}},
                                               "The web server's default page (1 to 20 "
                                               "characters).",
                                               "scmd_set_http_default_page"),
        Method<&CKestCtrl::GetHTTPDefaultPage>(118, "GetHTTPDefaultPage", {{"Filename", 32}},
                                               "The web server's default page name (32 bytes).",
                                               "scmd_get_http_default_page"),
        Method<&CKestCtrl::SetHTTPGeneralSetting>(
            119, "SetHTTPGeneralSetting", {{"SubCommand"}, {"Value"}},
            "Sets one web server setting (SubCommand 0-3).", "scmd_set_http_general_setting"),
        Method<&CKestCtrl::GetHTTPGeneralSetting>(
            120, "GetHTTPGeneralSetting", {{"SubCommand"}, {"Value"}},
            "One web server setting (SubCommand 0-3).", "scmd_get_http_general_setting"),
        Method<&CKestCtrl::GetIPAddress>(121, "GetIPAddress", {{"IPAddress"}},
                                         "The camera's IPv4 address.", "scmd_get_IP_address"),
        Method<&CKestCtrl::SetDHCP>(122, "SetDHCP", {{"Enabled"}},
                                    "Turns the camera's DHCP client on or off.", "scmd_set_DHCP"),
        Method<&CKestCtrl::GetDHCP>(
            123, "GetDHCP",
            {{"Enabled"}, {"Status"}, {"IPAddress", 4}, {"LeaseObtained"}, {"LeaseExpires"}},
            "The camera's DHCP state, server address and lease times.", "scmd_get_DHCP"),
        Method<&CKestCtrl::SetMPEG4Parameter>(
            124, "SetMPEG4Parameter", {{"FramerateMode"}, {"Bitrate"}},
            "MPEG-4 frame-rate mode (0-2) and bit rate (64-2048).", "scmd_set_mpeg4_param"),
        Method<&CKestCtrl::GetMPEG4Parameter>(
            125, "GetMPEG4Parameter", {{"FramerateMode"}, {"Bitrate"}},
            "The camera's MPEG-4 parameters.", "scmd_get_mpeg4_param"),
        Method<&CKestCtrl::SetHTTPPort>(127, "SetHTTPPort", {{"PortNo"}}, "The web server's port.",
                                        "scmd_set_http_port"),
        Method<&CKestCtrl::GetHTTPPort>(128, "GetHTTPPort", {{"PortNo"}}, "The web server's port.",
                                        "scmd_get_http_port"),
    };
    lib.insert(lib.end(), std::begin(rows), std::end(rows));
}

}  // namespace kest::rows
