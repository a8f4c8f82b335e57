#include "control/protocol/commands.h"

namespace kest::protocol {

namespace {

constexpr CommandInfo kCommands[] = {
    {0, "scmd_nop", Form::kShort},
    {1, "scmd_get_version", Form::kShort},
    {2, "scmd_get_mac_address", Form::kShort},
    {4, "scmd_get_camera_id", Form::kShort},
    {14, "scmd_get_multicast_adr", Form::kLong},
    {15, "scmd_get_ip_adr", Form::kLong},
    {33, "scmd_get_motor_pos", Form::kLong},
    {34, "scmd_get_motor_tbl", Form::kLong},
    {35, "scmd_set_motor_tbl", Form::kLong},
    {36, "scmd_move_motor_tbl", Form::kLong},
    {37, "scmd_move_motor_pos", Form::kLong},
    {38, "cl_get_exmotor_tbl", Form::kLong},
    {39, "cl_set_exmotor_tbl", Form::kLong},
    {49, "scmd_set_camera_info", Form::kLong},
    {50, "scmd_set_ccd_default", Form::kLong},
    {65, "scmd_get_camera_info", Form::kLong},
    {112, "scmd_set_jpeg_mode", Form::kLong},
    {113, "scmd_set_frame_size", Form::kLong},
    {116, "scmd_set_scale_factor", Form::kLong},
    {117, "scmd_get_scale_factor", Form::kLong},
    {118, "scmd_get_capt_speed", Form::kLong},
    {119, "scmd_get_capt_size", Form::kLong},
    {121, "scmd_get_image_mode", Form::kLong},
    {122, "scmd_set_image_mode", Form::kLong},
    {123, "scmd_set_mpeg4_param", Form::kLong},
    {124, "scmd_get_mpeg4_param", Form::kLong},
    {128, "scmd_get_comp_data", Form::kLong},
    {129, "scmd_get_comp_data", Form::kLong},
    {130, "scmd_get_refer_image", Form::kLong},
    {131, "scmd_get_comp_data", Form::kLong},
    {144, "scmd_get_passwd_enable", Form::kShort},
    {145, "scmd_set_passwd_disable", Form::kLong},
    {146, "scmd_check_passwd", Form::kLong},
    {147, "scmd_set_passwd", Form::kLong},
    {149, "scmd_check_admin_passwd", Form::kLong},
    {150, "scmd_get_super_passwd_enable", Form::kShort},
    {151, "scmd_set_super_passwd_disable", Form::kLong},
    {152, "scmd_check_user_passwd", Form::kLong},
    {153, "scmd_get_user_passwd_enable", Form::kShort},
    {154, "scmd_set_passwd_disable_user", Form::kLong},
    {155, "scmd_set_passwd_user", Form::kLong},
    {160, "scmd_set_super_passwd", Form::kLong},
    {161, "scmd_set_ip_address", Form::kLong},
    {162, "scmd_get_subnet_mask", Form::kLong},
    {163, "scmd_set_subnet_mask", Form::kLong},
    {164, "scmd_get_default_gateway", Form::kLong},
    {165, "scmd_set_default_gateway", Form::kLong},
    {166, "scmd_get_IP_address", Form::kLong},
    {167, "scmd_set_DHCP", Form::kLong},
    {168, "scmd_get_DHCP", Form::kLong},
    {176, "scmd_clear_start_flag", Form::kLong},
    {177, "scmd_set_camera_id", Form::kLong},
    {178, "scmd_reset_camera", Form::kLong},
    {192, "scmd_start_local_rec", Form::kLong},
    {193, "scmd_stop_local_rec", Form::kLong},
    {194, "scmd_get_local_rec_status", Form::kLong},
    {195, "scmd_get_local_rec_file_list", Form::kLong},
    {196, "scmd_get_local_recfile", Form::kLong},
    {197, "scmd_del_local_recfile", Form::kLong},
    {198, "scmd_del_local_recfile_all", Form::kLong},
    {199, "scmd_set_local_rec_info", Form::kLong},
    {200, "scmd_get_local_rec_info", Form::kLong},
    {208, "scmd_set_motion_detect_info", Form::kLong},
    {209, "scmd_get_motion_detect_info", Form::kLong},
    {210, "scmd_set_area_info", Form::kLong},
    {211, "scmd_get_area_info", Form::kLong},
    {212, "scmd_set_area_detail_info", Form::kLong},
    {213, "scmd_get_area_detail_info", Form::kLong},
    {214, "scmd_update_motion_detect_base", Form::kLong},
    {224, "scmd_set_current_datetime", Form::kLong},
    {225, "scmd_get_current_datetime", Form::kLong},
    {226, "scmd_get_cf_info", Form::kLong},
    {235, "scmd_set_port_mode", Form::kLong},
    {236, "scmd_get_port_mode", Form::kLong},
    {237, "scmd_get_port_config", Form::kLong},
    {238, "scmd_pass_through_cmd", Form::kLong},
    {239, "scmd_set_port_config", Form::kLong},
    {240, "scmd_resend_page", Form::kLong},
    {254, "scmd_block_data", Form::kLong},
    {560, "get_zfi", Form::kLong},
    {561, "scmd_set_zfi", Form::kLong},
    {592, "scmd_ftp_init", Form::kLong},
    {593, "scmd_ftp_get_init", Form::kLong},
    {594, "scmd_set_ftp_server_enable", Form::kLong},
    {595, "scmd_get_ftp_server_enable", Form::kLong},
    {624, "scmd_set_multicast_mode", Form::kLong},
    {625, "scmd_get_multicast_mode", Form::kLong},
    {1024, "scmd_set_http_port", Form::kLong},
    {1025, "scmd_get_http_port", Form::kShort},
    {1026, "scmd_set_http_default_page", Form::kLong},
    {1027, "scmd_get_http_default_page", Form::kLong},
    {1028, "scmd_set_http_general_setting", Form::kLong},
    {1029, "scmd_get_http_general_setting", Form::kLong},
    {2304, "cl_alarm_regist", Form::kLong},
    {2305, "cl_alarm_set_count", Form::kLong},
    {2305, "cl_alarm_get_count", Form::kLong},
    {2306, "cl_alarm_set_init", Form::kLong},
    {2307, "cl_alarm_get_init", Form::kLong},
    {2308, "cl_alarm_get_list", Form::kLong},
    {2309, "cl_alarm_deregist", Form::kLong},
    {2310, "cl_alarm_deregist_indirect", Form::kLong},
    {2320, "scmd_set_motion_detect_action", Form::kLong},
    {2321, "scmd_get_motion_detect_action", Form::kLong},
    {2449, "cl_alarm_out", Form::kLong},
    {2450, "cl_alarm_out", Form::kLong},
};

}  // namespace

std::span<const CommandInfo> CommandTable() {
    return kCommands;
}

const CommandInfo* FindCommand(uint16_t code) {
    for (const CommandInfo& c : kCommands) {
        if (c.code == code) return &c;
    }
    return nullptr;
}

const CommandInfo* FindCommand(uint16_t code, std::string_view name) {
    for (const CommandInfo& c : kCommands) {
        if (c.code == code && c.name == name) return &c;
    }
    return nullptr;
}

}  // namespace kest::protocol
