// The time-stamp font of a camera object: its logical-font description, read
// once from "KEST.INI" [TimeStampFont] in the current directory, and the font
// made from it. Making, replacing and drawing with the font happen under one
// process-wide lock.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/font.h"
#include "platform/host_ui.h"

namespace kest {

// The process-wide font lock.
std::mutex& TimeStampFontLock();

class TimeStampFont {
  public:
    static constexpr const char* kSection = "TimeStampFont";
    static constexpr size_t kRecordSize = 60;  // the description as GetTimeStampFont copies it

    // The description without a settings file: 13 pixels high, weight 400, "Terminal".
    static platform::LogFont Defaults();

    // Reads the 14 keys and makes the font; later calls do nothing.
    void Load();
    // Writes the 14 keys back; false when the file cannot be written.
    bool Save() const;
    // Lets the user choose from the current description: a confirmed choice
    // replaces the font and is saved. 0 when chosen, 1 when cancelled.
    int Choose(platform::HostUi& ui);
    // Replaces the description and re-makes the font.
    void Replace(const platform::LogFont& description);

    platform::LogFont description() const;
    // The description in its 60-byte record: five 32-bit metrics, eight
    // bytes, the 32-character face name.
    void CopyRecord(uint8_t* out) const;

    // Runs draw(const platform::Font*) under the font lock; the font is null
    // when no face could be had.
    template <typename F>
    void WithFont(F&& draw) const {
        std::lock_guard lock(TimeStampFontLock());
        draw(static_cast<const platform::Font*>(font_.get()));
    }

  private:
    static std::string SettingsPath();

    bool loaded_ = false;
    platform::LogFont description_ = Defaults();
    std::unique_ptr<platform::Font> font_;
};

}  // namespace kest
