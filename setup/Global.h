// The setup tool's program-wide state: made by the start procedure, read and
// changed by every form, living until the program ends. Only the host's
// (GUI) thread touches it.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "setup/MacroData.h"

namespace kestcfg {

// A fixed-width text field: whatever is assigned is cut to Width characters
// or padded with blanks, so the empty text is Width blanks.
template <int Width>
class FixedText {
  public:
    FixedText() = default;
    FixedText(const QString& text) { *this = text; }  // NOLINT: assigned like a text
    FixedText& operator=(const QString& text) {
        m_text = text.left(Width).leftJustified(Width, QLatin1Char(' '));
        return *this;
    }
    const QString& text() const { return m_text; }
    operator const QString&() const { return m_text; }  // NOLINT
    bool isBlank() const { return m_text.trimmed().isEmpty(); }
    bool operator==(const FixedText&) const = default;

  private:
    QString m_text = QString(Width, QLatin1Char(' '));
};

using PasswordField = FixedText<kPasswordLength>;

namespace Global {

// Where the files are: the program folder (always ending in "/") and the
// settings and language files, as the start procedure found them.
inline QString ProgramFolder;
inline QString SettingsFile;
inline QString LanguageFile;

// [SetUpTool] Timeout: every form's control gets it as its Timeout.
inline int16_t ConnectTimeout = kDefaultTimeout;
// The camera in use, as the connect dialog built it.
inline QString CameraAddress;
// The camera's password as the tool sends it, and the new password while
// the password change dialog works.
inline PasswordField CameraPassword;
inline PasswordField NewPassword;
// The four octets of the camera address (search dialogs, connect dialog).
inline std::array<int16_t, 4> SelectedOctets{};
inline bool SearchCancelled = false;
inline bool PasswordEntered = false;
inline bool PasswordRetry = false;
// From GetVersion on connect.
inline int16_t TypeNumber = 0;
inline int16_t ProgramVersion = 0;
// The password slot (0 user, 1 main, 2 super) the change dialog works on.
inline int16_t PasswordSlot = 0;
// Lattice, setting and detection colours (red, green, blue each) of the
// motion overlay, from [MotionDetection].
inline std::array<int16_t, 9> MotionColours{};

// Started with --demo: searches go only to a loopback search address.
inline bool DemoMode = false;

// Back to the values before the start procedure (for tests).
void Reset();

}  // namespace Global
}  // namespace kestcfg
