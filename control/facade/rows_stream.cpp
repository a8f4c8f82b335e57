// Type-library rows of the picture stream and rendering methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"
#include "control/stream/timestamp_font.h"

namespace kest::rows {

using namespace typelib_builder;

void Stream(std::vector<MemberInfo>& lib) {
    lib.push_back(Method<&CKestCtrl::StartDownloading>(
        9, "StartDownloading", {},
        "Starts the live picture stream; NewImage fires for every picture.",
        "scmd_get_passwd_enable, scmd_get_capt_speed, scmd_set_jpeg_mode, "
        "scmd_get_multicast_mode, scmd_get_comp_data"));
    lib.push_back(Method<&CKestCtrl::StopDownloading>(10, "StopDownloading", {},
                                                      "Stops the picture stream; always 0."));
    lib.push_back(Method<&CKestCtrl::SetTimeStamp>(
        49, "SetTimeStamp",
        {{"Enable"},
         {"TextRed"},
         {"TextGreen"},
         {"TextBlue"},
         {"BackRed"},
         {"BackGreen"},
         {"BackBlue"},
         {"Style"},
         {"BackMode"},
         {"x"},
         {"y"}},
        "Sets the time stamp drawn on every picture of the process: colours, style 0 to 6 "
        "(others 1), background mode 1 transparent or else opaque, position."));
    lib.push_back(Method<&CKestCtrl::GetTimeStamp>(50, "GetTimeStamp",
                                                   {{"Enable"},
                                                    {"TextRed"},
                                                    {"TextGreen"},
                                                    {"TextBlue"},
                                                    {"BackRed"},
                                                    {"BackGreen"},
                                                    {"BackBlue"},
                                                    {"Style"},
                                                    {"BackMode"},
                                                    {"x"},
                                                    {"y"}},
                                                   "Reads the time-stamp settings back."));
    lib.push_back(Method<&CKestCtrl::SetTimeStampFont>(
        51, "SetTimeStampFont", {},
        "Lets the user choose the time-stamp font; a confirmed choice is kept and saved in "
        "KEST.INI."));
    lib.push_back(Method<&CKestCtrl::GetTimeStampFont>(
        52, "GetTimeStampFont", {{"Logfont", uint32_t(TimeStampFont::kRecordSize)}},
        "Copies the time-stamp font's 60-byte description into the buffer."));
    lib.push_back(Method<&CKestCtrl::DisplayMotionDetection>(
        53, "DisplayMotionDetection",
        {{"Enable"},
         {"LatticeR"},
         {"LatticeG"},
         {"LatticeB"},
         {"SettingR"},
         {"SettingG"},
         {"SettingB"},
         {"DetectionR"},
         {"DetectionG"},
         {"DetectionB"}},
        "Sets the motion lattice drawn on pictures of models 11 and 20: on only with Enable 1; "
        "line, detection-area and detection colours."));
}

}  // namespace kest::rows
