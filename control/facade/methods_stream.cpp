// The time-stamp and motion-lattice methods. They send nothing to the camera:
// they need only the camera session object, and the settings they store are
// shared by every control of the process.
#include "control/facade/ctrl.h"
#include "control/stream/render.h"

namespace kest {

namespace {

// Red, green and blue arguments, each taken as a byte, as a colour reference.
uint32_t ColourRef(int16_t r, int16_t g, int16_t b) {
    return platform::Rgb{uint8_t(r), uint8_t(g), uint8_t(b)}.ColorRef();
}

void SplitColour(uint32_t colour, int16_t& r, int16_t& g, int16_t& b) {
    const platform::Rgb c = platform::Rgb::FromColorRef(colour);
    r = c.r, g = c.g, b = c.b;
}

}  // namespace

int16_t CKestCtrl::SetTimeStamp(bool Enable, int16_t TextRed, int16_t TextGreen, int16_t TextBlue,
                                int16_t BackRed, int16_t BackGreen, int16_t BackBlue, int16_t Style,
                                int16_t BackMode, int16_t x, int16_t y) {
    if (!camera_) return kResultFailed;
    TimeStampSettings s;
    s.enabled = Enable;
    s.text_colour = ColourRef(TextRed, TextGreen, TextBlue);
    s.back_colour = ColourRef(BackRed, BackGreen, BackBlue);
    s.style = Style >= 0 && Style <= 6 ? Style : 1;
    s.back_mode = BackMode == TimeStampSettings::kTransparent ? TimeStampSettings::kTransparent
                                                              : TimeStampSettings::kOpaque;
    s.x = x;
    s.y = y;
    SetTimeStampSettings(s);
    return kResultOk;
}

int16_t CKestCtrl::GetTimeStamp(bool& Enable, int16_t& TextRed, int16_t& TextGreen,
                                int16_t& TextBlue, int16_t& BackRed, int16_t& BackGreen,
                                int16_t& BackBlue, int16_t& Style, int16_t& BackMode, int16_t& x,
                                int16_t& y) {
    if (!camera_) return kResultFailed;
    const TimeStampSettings s = GetTimeStampSettings();
    Enable = s.enabled;
    SplitColour(s.text_colour, TextRed, TextGreen, TextBlue);
    SplitColour(s.back_colour, BackRed, BackGreen, BackBlue);
    Style = int16_t(s.style);
    BackMode = int16_t(s.back_mode);
    x = int16_t(s.x);
    y = int16_t(s.y);
    return kResultOk;
}

int16_t CKestCtrl::SetTimeStampFont() {
    if (!camera_) return kResultFailed;
    // Confirmed or cancelled, the call itself succeeded.
    camera_->timestamp_font().Choose(host_ui());
    return kResultOk;
}

int16_t CKestCtrl::GetTimeStampFont(BufferRef Logfont) {
    if (!camera_) return kResultFailed;
    // The record is written whole or not at all: never past the caller's block.
    if (!Logfont.data || Logfont.size < TimeStampFont::kRecordSize) return kResultBadArgument;
    camera_->timestamp_font().Load();
    camera_->timestamp_font().CopyRecord(Logfont.data);
    return kResultOk;
}

int16_t CKestCtrl::DisplayMotionDetection(int16_t Enable, int16_t LatticeR, int16_t LatticeG,
                                          int16_t LatticeB, int16_t SettingR, int16_t SettingG,
                                          int16_t SettingB, int16_t DetectionR, int16_t DetectionG,
                                          int16_t DetectionB) {
    if (!camera_) return kResultFailed;
    LatticeSettings s;
    s.enabled = Enable == 1;  // anything but 1 switches the lattice off
    s.line_colour = ColourRef(LatticeR, LatticeG, LatticeB);
    s.setting_colour = ColourRef(SettingR, SettingG, SettingB);
    s.detection_colour = ColourRef(DetectionR, DetectionG, DetectionB);
    SetLatticeSettings(s);
    return kResultOk;
}

}  // namespace kest
