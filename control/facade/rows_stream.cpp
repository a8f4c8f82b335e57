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
        "scmd_nop, scmd_get_version (session open, or to prove an open one); "
        "scmd_get_passwd_enable; "
        "with LocalFrameRate 0 scmd_get_capt_speed, scmd_set_jpeg_mode; "
        "models 11 and 20: scmd_get_multicast_mode; "
        "pulled stream: scmd_nop, scmd_set_jpeg_mode, then per picture scmd_get_comp_data, "
        "scmd_resend_page, scmd_block_data; "
        "multicast on: scmd_get_comp_data (code 131) to start, again every 20 s",
        "5 no camera object; 7 no address; 0 already streaming (nothing is started); "
        "1 session cannot be opened, the camera of an already open session does not answer, the "
        "frame-rate read (LocalFrameRate 0) gets no reply or the frame rate cannot be sent back; "
        "6 the frame-rate read is refused; "
        "2 the multicast-mode read (models 11 and 20) is refused (status 1); "
        "6 the multicast-mode read answers status 2 or more; "
        "5 the multicast-mode read gets no reply; "
        "5 multicast on, but the multicast socket cannot be opened or watched; "
        "6 multicast on, but the camera does not start pushing; "
        "0 the stream runs (pulled, or pushed by multicast); -60 reception already running; "
        "-200 no session for the receive thread; -101 no receive buffer; "
        "-1 no answer to the receive start's scmd_nop"));
    lib.push_back(Method<&CKestCtrl::StopDownloading>(
        10, "StopDownloading", {}, "Stops the picture stream; always 0.", "",
        "0 always, in any state (a running stream is stopped)"));
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
        "(others 1), background mode 1 transparent or else opaque, position.",
        "", "5 no camera object; 0 stored (nothing sent, no address needed)"));
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
                                                   "Reads the time-stamp settings back.", "",
                                                   "5 no camera object; 0 done"));
    lib.push_back(Method<&CKestCtrl::SetTimeStampFont>(
        51, "SetTimeStampFont", {},
        "Lets the user choose the time-stamp font; a confirmed choice is kept and saved in "
        "KEST.INI.",
        "", "5 no camera object; 0 whether or not the user confirmed a font"));
    lib.push_back(Method<&CKestCtrl::GetTimeStampFont>(
        52, "GetTimeStampFont", {{"Logfont", uint32_t(TimeStampFont::kRecordSize)}},
        "Copies the time-stamp font's 60-byte description into the buffer.", "",
        "5 no camera object; 100 Logfont missing or smaller than 60 bytes (nothing written); "
        "0 done"));
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
        "line, detection-area and detection colours.",
        "", "5 no camera object; 0 stored (nothing sent, no address needed)"));
}

}  // namespace kest::rows
