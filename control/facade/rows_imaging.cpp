// Type-library rows of the imaging, motor, lens and motion-detection methods, and the camera file
// transfers.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Imaging(std::vector<MemberInfo>& lib) {
    using C = CKestCtrl;
    const MemberInfo rows[] = {
        Method<&C::SetCameraFrameRate>(13, "SetCameraFrameRate", {{"Rate"}},
                                       "Sets the frame rate (frames per second).",
                                       "scmd_set_jpeg_mode"),
        Method<&C::GetCameraFrameRate>(14, "GetCameraFrameRate", {{"Rate"}},
                                       "Reads the frame rate (frames per second).",
                                       "scmd_get_capt_speed"),
        Method<&C::GetMotorPos>(17, "GetMotorPos", {{"Pan"}, {"Tilt"}},
                                "Reads pan and tilt in degrees.", "scmd_get_motor_pos"),
        Method<&C::MoveMotorPos>(18, "MoveMotorPos", {{"Pan"}, {"Tilt"}, {"Speed"}},
                                 "Moves pan and tilt to a position in degrees.",
                                 "scmd_move_motor_pos"),
        Method<&C::SetFrameSize>(19, "SetFrameSize", {{"HSize"}, {"VSize"}},
                                 "Sets the picture size.", "scmd_set_frame_size"),
        Method<&C::GetFrameSize>(20, "GetFrameSize", {{"HSize"}, {"VSize"}},
                                 "Reads the picture size.", "scmd_get_capt_size"),
        Method<&C::GetZoomPositon>(21, "GetZoomPositon", {{"ZoomPos"}},
                                   "Reads the zoom position in percent.", "get_zfi"),
        Method<&C::SetZoomPosition>(22, "SetZoomPosition", {{"ZoomPos"}, {"Speed"}},
                                    "Sets the zoom position in percent.", "get_zfi, scmd_set_zfi"),
        Method<&C::GetFocusPosition>(23, "GetFocusPosition", {{"Mode"}, {"Level"}},
                                     "Reads the focus mode and level in percent.", "get_zfi"),
        Method<&C::SetFocusPosition>(24, "SetFocusPosition", {{"Mode"}, {"ManualLevel"}},
                                     "Sets the focus mode and manual level in percent.",
                                     "get_zfi, scmd_set_zfi"),
        Method<&C::GetIrisLevel>(25, "GetIrisLevel", {{"Mode"}, {"AutoLevel"}, {"ManualLevel"}},
                                 "Reads the iris mode and levels in percent.", "get_zfi"),
        Method<&C::SetIrisLevel>(26, "SetIrisLevel", {{"Mode"}, {"AutoLevel"}, {"ManualLevel"}},
                                 "Sets the iris mode and levels in percent.",
                                 "get_zfi, scmd_set_zfi"),
        Method<&C::GetCameraUpsideDown>(27, "GetCameraUpsideDown", {{"UpsideDown"}},
                                        "Reads whether the picture is upside down.",
                                        "scmd_get_camera_info"),
        Method<&C::SetCameraUpsideDown>(28, "SetCameraUpsideDown", {{"UpsideDown"}},
                                        "Turns the picture upside down or back.",
                                        "scmd_set_camera_info"),
        Method<&C::SetMotorTableEntry>(29, "SetMotorTableEntry", {{"Index"}},
                                       "Stores the current position in a preset.",
                                       "scmd_get_motor_tbl or cl_get_exmotor_tbl, "
                                       "scmd_get_motor_pos, get_zfi, scmd_set_motor_tbl or "
                                       "cl_set_exmotor_tbl"),
        Method<&C::MoveMotorTable>(30, "MoveMotorTable", {{"Index"}}, "Moves to a preset.",
                                   "scmd_move_motor_tbl"),
        Method<&C::SwitchRelayOn>(32, "SwitchRelayOn", {{"RelayNumber"}},
                                  "Kept for callers of early models; does nothing and returns 0."),
        Method<&C::GetCompressionRate>(33, "GetCompressionRate", {{"CompressionRate"}},
                                       "Reads the compression rate (1 to 7).",
                                       "scmd_get_scale_factor"),
        Method<&C::SetCompressionRate>(34, "SetCompressionRate", {{"CompressionRate"}},
                                       "Sets the compression rate (1 to 7).",
                                       "scmd_set_scale_factor"),
        Method<&C::GetCameraInformation>(35, "GetCameraInformation", {{"Register"}, {"Data"}},
                                         "Reads a camera information register (0 to 30).",
                                         "scmd_get_camera_info"),
        Method<&C::SetCameraInformation>(36, "SetCameraInformation", {{"Register"}, {"Data"}},
                                         "Writes a camera information register (0 to 30).",
                                         "scmd_set_camera_info"),
        Method<&C::GetLocalFilelist>(
            47, "GetLocalFilelist",
            {{"FileCount"}, {"FilePass"}, {"BurstCount"}, {"BurstInterval"}},
            "Downloads the memory card's file list into a local file.",
            "scmd_get_local_rec_file_list, scmd_resend_page, scmd_block_data"),
        Method<&C::GetLocalRecFile>(
            48, "GetLocalRecFile",
            {{"Filename"}, {"BurstCount"}, {"BurstInterval"}, {"FileGetTimeOut"}},
            "Downloads a recorded file from the memory card into a local file of that name.",
            "scmd_get_local_recfile, scmd_resend_page, scmd_block_data"),
        Method<&C::SetMotionDetectInformation>(
            54, "SetMotionDetectInformation",
            {{"MotionDetect"}, {"UpdateSec"}, {"DetectSec"}, {"Mask"}},
            "Sets the motion-detection values.", "scmd_set_motion_detect_info"),
        Method<&C::GetMotionDetectInformation>(
            55, "GetMotionDetectInformation",
            {{"MotionDetect"}, {"UpdateSec"}, {"DetectSec"}, {"Mask"}},
            "Reads the motion-detection values.", "scmd_get_motion_detect_info"),
        Method<&C::SetAreaDetailInformation>(
            56, "SetAreaDetailInformation", {{"y"}, {"Percent"}, {"DiffAverage"}},
            "Sets the area detail (each 0 to 255).", "scmd_set_area_detail_info"),
        Method<&C::GetAreaDetailInformation>(57, "GetAreaDetailInformation",
                                             {{"y"}, {"Percent"}, {"DiffAverage"}},
                                             "Reads the area detail.", "scmd_get_area_detail_info"),
        Method<&C::UpdateMotionDetectBase>(58, "UpdateMotionDetectBase", {},
                                           "Takes the current picture as detection base.",
                                           "scmd_update_motion_detect_base"),
        Method<&C::SetSingleAreaInformation>(59, "SetSingleAreaInformation",
                                             {{"Count"}, {"Enable"}},
                                             "Switches one detection area (0 to 299) on or off.",
                                             "scmd_get_area_info, scmd_set_area_info"),
        Method<&C::SetAreaInformation>(60, "SetAreaInformation", {{"Area", 40}},
                                       "Writes the 40-byte detection area set.",
                                       "scmd_set_area_info"),
        Method<&C::GetAreaInformation>(61, "GetAreaInformation", {{"Area", 40}},
                                       "Reads the 40-byte detection area set.",
                                       "scmd_get_area_info"),
        Method<&C::GetMotorTableEntry>(71, "GetMotorTableEntry", {{"MotorTable", 36}},
                                       "Reads the preset table: six pans, six tilts, six third "
                                       "values (type 0).",
                                       "scmd_get_motor_tbl"),
        Method<&C::GetExMotorTableEntry>(72, "GetExMotorTableEntry", {{"MotorTable", 200}},
                                         "Reads the extended preset table (types 3 and 13).",
                                         "cl_get_exmotor_tbl"),
        Method<&C::SetMotionDetectAction>(
            80, "SetMotionDetectAction", {{"AlarmOut"}, {"Position"}, {"StartFTP"}},
            "Sets what a detected motion does.", "scmd_set_motion_detect_action"),
        Method<&C::GetMotionDetectAction>(
            81, "GetMotionDetectAction", {{"AlarmOut"}, {"Position"}, {"StartFTP"}},
            "Reads what a detected motion does.", "scmd_get_motion_detect_action"),
        Method<&C::SetCCDDefault>(82, "SetCCDDefault", {}, "Resets the sensor to its defaults.",
                                  "scmd_set_ccd_default"),
        Method<&C::GetMotorPosPulse>(83, "GetMotorPosPulse", {{"Pan"}, {"Tilt"}},
                                     "Reads pan and tilt in motor pulses.", "scmd_get_motor_pos"),
        Method<&C::MoveMotorPosPulse>(84, "MoveMotorPosPulse", {{"Pan"}, {"Tilt"}, {"Speed"}},
                                      "Moves pan and tilt to a position in motor pulses.",
                                      "scmd_move_motor_pos"),
        Method<&C::SetMotorTable>(101, "SetMotorTable", {{"MotorTable", 36}},
                                  "Writes the preset table (type 0).", "scmd_set_motor_tbl"),
        Method<&C::SetExMotorTable>(102, "SetExMotorTable", {{"MotorTable", 200}},
                                    "Writes the extended preset table (types 3 and 13).",
                                    "cl_set_exmotor_tbl"),
        Method<&C::GetImageMode>(105, "GetImageMode", {{"Mode"}}, "Reads the image mode.",
                                 "scmd_get_image_mode"),
        Method<&C::SaveReferenceImage>(106, "SaveReferenceImage", {{"Filename"}},
                                       "Downloads the motion-detection reference picture into "
                                       "a file.",
                                       "scmd_get_refer_image, scmd_resend_page, scmd_block_data"),
        Method<&C::SetImageMode>(126, "SetImageMode", {{"Mode"}}, "Sets the image mode (0 or 1).",
                                 "scmd_set_image_mode"),
    };
    lib.insert(lib.end(), std::begin(rows), std::end(rows));
}

}  // namespace kest::rows
