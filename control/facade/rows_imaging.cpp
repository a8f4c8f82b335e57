// Type-library rows of the imaging, motor, lens and motion-detection methods, and the camera file
// transfers.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Imaging(std::vector<MemberInfo>& lib) {
    using C = CKestCtrl;
    const MemberInfo rows[] = {
        Method<&C::SetCameraFrameRate>(
            13, "SetCameraFrameRate", {{"Rate"}}, "Sets the frame rate (frames per second).",
            "scmd_set_jpeg_mode",
            "101 Rate not in the frame-rate table, or 8, 7 or 4 when the camera type last "
            "reported is not 11 (before any traffic); 7 no address; "
            "1 session cannot be opened; "
            "101 Rate 8, 7 or 4 on a camera that now reports a type other than 11 (nothing "
            "sent after the session open); "
            "0 done; 2 refused (status 1); 5 no camera object, no reply or any other status"),
        Method<&C::GetCameraFrameRate>(
            14, "GetCameraFrameRate", {{"Rate"}}, "Reads the frame rate (frames per second).",
            "scmd_get_capt_speed",
            "7 no address; 1 session cannot be opened; 0 done, Rate in frames per second; "
            "6 the camera's frame-interval code is not in the frame-rate table; "
            "5 no camera object, no reply or a refusal"),
        Method<&C::GetMotorPos>(17, "GetMotorPos", {{"Pan"}, {"Tilt"}},
                                "Reads pan and tilt in degrees.",
                                "scmd_get_motor_pos (pan, then tilt)",
                                "5 no camera object; 7 no address; 1 session cannot be opened; "
                                "8 a model without motors (other than 0, 3 and 13); "
                                "0 done, Pan and Tilt in degrees, rounded half away from zero; "
                                "2 a position read refused (-2); 5 no reply or any other failure"),
        Method<&C::MoveMotorPos>(
            18, "MoveMotorPos", {{"Pan"}, {"Tilt"}, {"Speed"}},
            "Moves pan and tilt to a position in degrees.", "scmd_move_motor_pos",
            "5 no camera object; 103 Speed outside 0 to 4 (before any traffic); 7 no address; "
            "1 session cannot be opened; 8 a model without motors (other than 0, 3 and 13); "
            "101 Pan outside -50 to 50 degrees (model 0) or -160 to 160 (models 3 and 13); "
            "102 Tilt outside -75 to 5 degrees (model 0) or -90 to 0 (models 3 and 13); 0 done; "
            "2 refused (-2); 5 no reply or any other failure"),
        Method<&C::SetFrameSize>(
            19, "SetFrameSize", {{"HSize"}, {"VSize"}}, "Sets the picture size.",
            "scmd_set_frame_size",
            "101 HSize not 640, 704, 320, 352, 160 or 176; "
            "102 VSize not a height of that width (480 for 640 and 704, 240 for 320 and 352, 120 "
            "or 112 for 160 and 176), both checked before any traffic; "
            "7 no address; 1 session cannot be opened; 0 done, the size code stored; "
            "5 no camera object, no reply or any other result"),
        Method<&C::GetFrameSize>(20, "GetFrameSize", {{"HSize"}, {"VSize"}},
                                 "Reads the picture size.", "scmd_get_capt_size",
                                 "7 no address; 1 session cannot be opened; "
                                 "0 done: a captured width of 160, 320 or 640 gives 160 x 120, 320 "
                                 "x 240 or 640 x 480 and stores the size code; "
                                 "5 no camera object, no reply or any other width"),
        Method<&C::GetZoomPositon>(
            21, "GetZoomPositon", {{"ZoomPos"}}, "Reads the zoom position in percent.", "get_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "0 done, ZoomPos in percent; 2 lens read refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::SetZoomPosition>(
            22, "SetZoomPosition", {{"ZoomPos"}, {"Speed"}}, "Sets the zoom position in percent.",
            "get_zfi, scmd_set_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "101 ZoomPos outside 0 to 100; 102 Speed not 0 or 1 (model 3), not 0 (model 13); "
            "0 done; 2 lens read or write refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::GetFocusPosition>(
            23, "GetFocusPosition", {{"Mode"}, {"Level"}},
            "Reads the focus mode and level in percent.", "get_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "0 done, Mode and Level (percent); 2 lens read refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::SetFocusPosition>(
            24, "SetFocusPosition", {{"Mode"}, {"ManualLevel"}},
            "Sets the focus mode and manual level in percent.", "get_zfi, scmd_set_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "101 Mode not 0 (auto) or 1 (manual); 102 Mode 1 with ManualLevel outside 0 to 100; "
            "0 done; 2 lens read or write refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::GetIrisLevel>(
            25, "GetIrisLevel", {{"Mode"}, {"AutoLevel"}, {"ManualLevel"}},
            "Reads the iris mode and levels in percent.", "get_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "0 done, Mode, AutoLevel and ManualLevel (percent); 2 lens read refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::SetIrisLevel>(
            26, "SetIrisLevel", {{"Mode"}, {"AutoLevel"}, {"ManualLevel"}},
            "Sets the iris mode and levels in percent.", "get_zfi, scmd_set_zfi",
            "7 no address; 1 session cannot be opened; 8 a model other than 3 and 13; "
            "101 Mode not 0 or 1; 102 AutoLevel outside 0 to 100; "
            "103 ManualLevel outside 0 to 100; 0 done; 2 lens read or write refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::GetCameraUpsideDown>(
            27, "GetCameraUpsideDown", {{"UpsideDown"}},
            "Reads whether the picture is upside down.", "scmd_get_camera_info (register 7)",
            "7 no address; 1 session cannot be opened; 0 done, register 7 is 0 or 1; "
            "5 no camera object, no reply or any other value"),
        Method<&C::SetCameraUpsideDown>(
            28, "SetCameraUpsideDown", {{"UpsideDown"}}, "Turns the picture upside down or back.",
            "scmd_set_camera_info (register 7)",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 101 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::SetMotorTableEntry>(
            29, "SetMotorTableEntry", {{"Index"}}, "Stores the current position in a preset.",
            "model 0: scmd_get_motor_tbl, scmd_get_motor_pos (pan, tilt), scmd_set_motor_tbl; "
            "models 3 and 13: cl_get_exmotor_tbl, scmd_get_motor_pos (pan, tilt), get_zfi, "
            "cl_set_exmotor_tbl",
            "7 no address; 1 session cannot be opened; "
            "8 a model without motors (other than 0, 3 and 13); "
            "101 Index outside 0 to 5 (model 0) or 0 to 9 (models 3 and 13); 0 done; "
            "2 a step refused (-2); 5 no camera object, no reply or any other failure"),
        Method<&C::MoveMotorTable>(
            30, "MoveMotorTable", {{"Index"}}, "Moves to a preset.", "scmd_move_motor_tbl",
            "7 no address; 1 session cannot be opened; "
            "8 a model without motors (other than 0, 3 and 13); "
            "101 Index outside 0 to 5 (model 0) or 0 to 9 (models 3 and 13); 0 done; "
            "2 refused (-2); 6 no reply or any other failure; 5 no camera object"),
        Method<&C::SwitchRelayOn>(32, "SwitchRelayOn", {{"RelayNumber"}},
                                  "Kept for callers of early models; does nothing and returns 0.",
                                  "", "0 always"),
        Method<&C::GetCompressionRate>(
            33, "GetCompressionRate", {{"CompressionRate"}}, "Reads the compression rate (1 to 7).",
            "scmd_get_scale_factor",
            "7 no address; 1 session cannot be opened; "
            "0 done, CompressionRate 1 to 7 from the camera's scale factor; "
            "5 no camera object, no reply or a scale factor not in the compression table"),
        Method<&C::SetCompressionRate>(
            34, "SetCompressionRate", {{"CompressionRate"}}, "Sets the compression rate (1 to 7).",
            "scmd_set_scale_factor",
            "101 CompressionRate outside 1 to 7 (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 5 no camera object, or any non-zero command "
            "result"),
        Method<&C::GetCameraInformation>(
            35, "GetCameraInformation", {{"Register"}, {"Data"}},
            "Reads a camera information register (0 to 30).", "scmd_get_camera_info",
            "101 Register outside 0 to 30 (before any traffic); 7 no address; "
            "1 session cannot be opened; "
            "0 after the command: Data is the register's value or the command's negative error "
            "code; "
            "5 no camera object"),
        Method<&C::SetCameraInformation>(
            36, "SetCameraInformation", {{"Register"}, {"Data"}},
            "Writes a camera information register (0 to 30).", "scmd_set_camera_info",
            "101 Register outside 0 to 30 (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 102 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetLocalFilelist>(
            47, "GetLocalFilelist",
            {{"FileCount"}, {"FilePass"}, {"BurstCount"}, {"BurstInterval"}},
            "Downloads the memory card's file list into a local file.",
            "scmd_get_local_rec_file_list, scmd_resend_page, scmd_block_data",
            "7 no address; 1 session cannot be opened; "
            "0 done: the list written to the local file FilePass, FileCount set (0 when the camera "
            "has no files); "
            "2 refused (acknowledgement word 2); 6 acknowledgement word 0; "
            "5 no camera object, no reply, pages lost, a count above 2147483647 or any other "
            "word"),
        Method<&C::GetLocalRecFile>(
            48, "GetLocalRecFile",
            {{"Filename"}, {"BurstCount"}, {"BurstInterval"}, {"FileGetTimeOut"}},
            "Downloads a recorded file from the memory card into a local file of that name.",
            "scmd_get_local_recfile, scmd_resend_page, scmd_block_data",
            "100 Filename 32 characters or longer (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done: the file written locally under the same name; "
            "6 acknowledgement word 0 or 2; "
            "5 no camera object, no reply, pages lost or any other word"),
        Method<&C::SetMotionDetectInformation>(
            54, "SetMotionDetectInformation",
            {{"MotionDetect"}, {"UpdateSec"}, {"DetectSec"}, {"Mask"}},
            "Sets the motion-detection values.", "scmd_set_motion_detect_info",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetMotionDetectInformation>(
            55, "GetMotionDetectInformation",
            {{"MotionDetect"}, {"UpdateSec"}, {"DetectSec"}, {"Mask"}},
            "Reads the motion-detection values.", "scmd_get_motion_detect_info",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
            "6 status 3; 5 no camera object, no reply or any other status"),
        Method<&C::SetAreaDetailInformation>(
            56, "SetAreaDetailInformation", {{"y"}, {"Percent"}, {"DiffAverage"}},
            "Sets the area detail (each 0 to 255).", "scmd_set_area_detail_info",
            "101 y outside 0 to 255; 102 Percent outside 0 to 255; "
            "103 DiffAverage outside 0 to 255 (each before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetAreaDetailInformation>(
            57, "GetAreaDetailInformation", {{"y"}, {"Percent"}, {"DiffAverage"}},
            "Reads the area detail.", "scmd_get_area_detail_info",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::UpdateMotionDetectBase>(
            58, "UpdateMotionDetectBase", {}, "Takes the current picture as detection base.",
            "scmd_update_motion_detect_base",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::SetSingleAreaInformation>(
            59, "SetSingleAreaInformation", {{"Count"}, {"Enable"}},
            "Switches one detection area (0 to 299) on or off.",
            "scmd_get_area_info, scmd_set_area_info",
            "100 Count outside 0 to 299, or Enable not 0 or 1 (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&C::SetAreaInformation>(
            60, "SetAreaInformation", {{"Area", 40}}, "Writes the 40-byte detection area set.",
            "scmd_set_area_info",
            "100 Area smaller than 40 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetAreaInformation>(
            61, "GetAreaInformation", {{"Area", 40}}, "Reads the 40-byte detection area set.",
            "scmd_get_area_info",
            "100 Area smaller than 40 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; 6 status 3; "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetMotorTableEntry>(
            71, "GetMotorTableEntry", {{"MotorTable", 36}},
            "Reads the preset table: six pans, six tilts, six third "
            "values (type 0).",
            "scmd_get_motor_tbl",
            "100 MotorTable smaller than 36 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 5 no camera object, or a model other than 0; 0 done; "
            "2 refused (-2); 8 no reply or any other failure"),
        Method<&C::GetExMotorTableEntry>(
            72, "GetExMotorTableEntry", {{"MotorTable", 200}},
            "Reads the extended preset table (types 3 and 13).", "cl_get_exmotor_tbl",
            "100 MotorTable smaller than 200 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 5 no camera object, or a model other than 3 and 13; "
            "0 done; 2 refused (-2); 8 no reply or any other failure"),
        Method<&C::SetMotionDetectAction>(
            80, "SetMotionDetectAction", {{"AlarmOut"}, {"Position"}, {"StartFTP"}},
            "Sets what a detected motion does.", "scmd_set_motion_detect_action",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 100 status 2; "
            "6 status 3; 5 no camera object, no reply or any other status"),
        Method<&C::GetMotionDetectAction>(
            81, "GetMotionDetectAction", {{"AlarmOut"}, {"Position"}, {"StartFTP"}},
            "Reads what a detected motion does.", "scmd_get_motion_detect_action",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
        Method<&C::SetCCDDefault>(
            82, "SetCCDDefault", {}, "Resets the sensor to its defaults.", "scmd_set_ccd_default",
            "7 no address; 1 session cannot be opened; 0 done; 2 refused (status 1); "
            "5 no camera object, no reply or any other status"),
        Method<&C::GetMotorPosPulse>(
            83, "GetMotorPosPulse", {{"Pan"}, {"Tilt"}}, "Reads pan and tilt in motor pulses.",
            "scmd_get_motor_pos (pan, then tilt)",
            "7 no address; 1 session cannot be opened; "
            "8 a model without motors (other than 0, 3 and 13); "
            "0 done, Pan and Tilt in motor pulses; 2 a position read refused (-2); "
            "5 no camera object, no reply or any other failure"),
        Method<&C::MoveMotorPosPulse>(
            84, "MoveMotorPosPulse", {{"Pan"}, {"Tilt"}, {"Speed"}},
            "Moves pan and tilt to a position in motor pulses.", "scmd_move_motor_pos",
            "5 no camera object; 103 Speed outside 0 to 4 (before any traffic); 7 no address; "
            "1 session cannot be opened; 8 a model without motors (other than 0, 3 and 13); "
            "101 Pan outside -222 to 222 pulses (model 0) or -522 to 522 (models 3 and 13); "
            "102 Tilt outside -333 to 22 pulses (model 0) or -294 to 0 (models 3 and 13); 0 done; "
            "2 refused (-2); 5 no reply or any other failure"),
        Method<&C::SetMotorTable>(
            101,
            "SetMotorTable", {{"MotorTable", 36}}, "Writes the preset table (type 0).",
            "scmd_set_motor_tbl",
            "100 MotorTable smaller than 36 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 5 no camera object, or a model other than 0; 0 done; "
            "2 refused (-2); 8 no reply or any other failure"),
        Method<&C::SetExMotorTable>(
            102, "SetExMotorTable",
            {{"MotorTable", 200}}, "Writes the extended preset table (types 3 and 13).",
            "cl_set_exmotor_tbl",
            "100 MotorTable smaller than 200 bytes (before any traffic); 7 no address; "
            "1 session cannot be opened; 5 no camera object, or a model other than 3 and 13; "
            "0 done; 2 refused (-2); 8 no reply or any other failure"),
        Method<&C::GetImageMode>(
            105, "GetImageMode",
            {{"Mode"}}, "Reads the image mode.", "scmd_get_image_mode",
            "7 no address; 1 session cannot be opened; 0 done, Mode set; 2 refused (status 1); "
            "5 no camera object, no reply or any other status"),
        Method<&C::SaveReferenceImage>(
            106, "SaveReferenceImage",
            {{"Filename"}},
            "Downloads the motion-detection reference picture into "
            "a file.",
            "scmd_get_refer_image, scmd_resend_page, scmd_block_data",
            "101 empty Filename (before the address check); 7 no address; "
            "1 session cannot be opened; 0 done, the reference picture written to Filename; "
            "2 refused (acknowledgement word 3); 6 acknowledgement word 0, 2, or 4 and above; "
            "5 no camera object, no reply or pages lost"),
        Method<&C::SetImageMode>(
            126, "SetImageMode",
            {{"Mode"}}, "Sets the image mode (0 or 1).", "scmd_set_image_mode",
            "101 Mode not 0 or 1 (before any traffic); 7 no address; 1 session cannot be opened; "
            "0 done; 2 refused (status 1); 6 status 2; "
            "5 no camera object, no reply or any other status"),
    };
    lib.insert(lib.end(), std::begin(rows), std::end(rows));
}

}  // namespace kest::rows
