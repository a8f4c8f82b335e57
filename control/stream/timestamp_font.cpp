#include "control/stream/timestamp_font.h"
#include "control/protocol/settings_file.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace kest {

namespace {

// The numeric keys in the order of the description's fields.
struct NumberKey {
    const char* key;
    int32_t platform::LogFont::*wide;
    uint8_t platform::LogFont::*narrow;
};
constexpr NumberKey kNumberKeys[] = {
    {"Height", &platform::LogFont::height, nullptr},
    {"Width", &platform::LogFont::width, nullptr},
    {"Escapement", &platform::LogFont::escapement, nullptr},
    {"Orientation", &platform::LogFont::orientation, nullptr},
    {"Weight", &platform::LogFont::weight, nullptr},
    {"Italic", nullptr, &platform::LogFont::italic},
    {"Underline", nullptr, &platform::LogFont::underline},
    {"StrikeOut", nullptr, &platform::LogFont::strike_out},
    {"CharSet", nullptr, &platform::LogFont::char_set},
    {"OutPrecision", nullptr, &platform::LogFont::out_precision},
    {"ClipPrecision", nullptr, &platform::LogFont::clip_precision},
    {"Quality", nullptr, &platform::LogFont::quality},
    {"PitchAndFamily", nullptr, &platform::LogFont::pitch_and_family},
};
constexpr const char* kFaceKey = "FaceName";

void SetFace(platform::LogFont& f, const std::string& face) {
    std::memset(f.face_name, 0, sizeof f.face_name);
    std::memcpy(f.face_name, face.data(), std::min(face.size(), sizeof f.face_name - 1));
}

std::string Face(const platform::LogFont& f) {
    return std::string(f.face_name, strnlen(f.face_name, sizeof f.face_name));
}

}  // namespace

std::mutex& TimeStampFontLock() {
    static std::mutex lock;
    return lock;
}

platform::LogFont TimeStampFont::Defaults() {
    platform::LogFont f;
    f.height = -13;
    f.weight = 400;
    f.char_set = 1;
    f.out_precision = 1;
    f.clip_precision = 2;
    f.quality = 1;
    f.pitch_and_family = 1;
    SetFace(f, "Terminal");
    return f;
}

std::string TimeStampFont::SettingsPath() {
    return protocol::SettingsFilePath();
}

void TimeStampFont::Load() {
    if (loaded_) return;
    loaded_ = true;
    const std::string path = SettingsPath();
    const platform::LogFont defaults = Defaults();
    platform::LogFont f = defaults;
    for (const NumberKey& k : kNumberKeys) {
        if (k.wide) {
            f.*k.wide = platform::GetProfileInt(path, kSection, k.key, defaults.*k.wide);
        } else {
            f.*k.narrow =
                uint8_t(platform::GetProfileInt(path, kSection, k.key, defaults.*k.narrow));
        }
    }
    SetFace(f, platform::GetProfileString(path, kSection, kFaceKey, Face(defaults)));
    Replace(f);
}

bool TimeStampFont::Save() const {
    const std::string path = SettingsPath();
    const platform::LogFont f = description();
    bool ok = true;
    for (const NumberKey& k : kNumberKeys) {
        const int32_t value = k.wide ? f.*k.wide : int32_t(f.*k.narrow);
        ok = platform::WriteProfileString(path, kSection, k.key, std::to_string(value)) && ok;
    }
    return platform::WriteProfileString(path, kSection, kFaceKey, Face(f)) && ok;
}

int TimeStampFont::Choose(platform::HostUi& ui) {
    Load();
    platform::LogFont chosen = description();
    if (!ui.ChooseFont(chosen)) return 1;
    chosen.face_name[sizeof chosen.face_name - 1] = '\0';
    Replace(chosen);
    Save();
    return 0;
}

void TimeStampFont::Replace(const platform::LogFont& d) {
    // Made outside the lock (fontconfig may take a while), swapped in under it.
    std::unique_ptr<platform::Font> made = platform::Font::Create(d);
    std::lock_guard lock(TimeStampFontLock());
    description_ = d;
    font_ = std::move(made);
}

platform::LogFont TimeStampFont::description() const {
    std::lock_guard lock(TimeStampFontLock());
    return description_;
}

void TimeStampFont::CopyRecord(uint8_t* out) const {
    const platform::LogFont f = description();
    ByteWriter w(out, kRecordSize);
    w.U32(uint32_t(f.height)).U32(uint32_t(f.width)).U32(uint32_t(f.escapement));
    w.U32(uint32_t(f.orientation)).U32(uint32_t(f.weight));
    w.U8(f.italic).U8(f.underline).U8(f.strike_out).U8(f.char_set);
    w.U8(f.out_precision).U8(f.clip_precision).U8(f.quality).U8(f.pitch_and_family);
    w.Bytes(f.face_name, sizeof f.face_name);
}

}  // namespace kest
