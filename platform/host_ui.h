// The dialogs the library may show: message boxes, the font chooser, the about
// box. A host installs its own service; the headless default writes the text
// to stderr and answers as if the user cancelled.
#pragma once

#include <cstdint>
#include <string>

namespace kest::platform {

// The logical-font description the time stamp is drawn with (60 bytes on the
// wire of GetTimeStampFont: five 32-bit metrics, eight bytes, 32-byte face).
struct LogFont {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strike_out = 0;
    uint8_t char_set = 0;
    uint8_t out_precision = 0;
    uint8_t clip_precision = 0;
    uint8_t quality = 0;
    uint8_t pitch_and_family = 0;
    char face_name[32] = {};
};

class HostUi {
  public:
    enum class Answer { kOk, kCancel, kYes, kNo };
    enum class Buttons { kOk, kOkCancel, kYesNo };

    virtual ~HostUi() = default;
    virtual Answer MessageBox(const std::string& text, const std::string& caption,
                              Buttons buttons) = 0;
    // True when the user chose a font; font holds the start value and the choice.
    virtual bool ChooseFont(LogFont& font) = 0;
    virtual void AboutBox(const std::string& text) = 0;
};

class StderrHostUi final : public HostUi {
  public:
    Answer MessageBox(const std::string& text, const std::string& caption,
                      Buttons buttons) override;
    bool ChooseFont(LogFont& font) override;
    void AboutBox(const std::string& text) override;
};

// The process's default service (a StderrHostUi).
HostUi& DefaultHostUi();

}  // namespace kest::platform
