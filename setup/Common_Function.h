// Functions every form of the setup tool uses: texts from the language
// file, numbered messages, the settings file, the mouse pointer and small
// text helpers.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

namespace kestcfg {

// Key of section in the language file; the empty text when the file or the
// key is missing.
QString GetLangString(const QString& section, const QString& key);

// Every (section, key) GetLangString was asked for so far, for the test that
// holds them to the language file.
QStringList LanguageKeysRead();
void ForgetLanguageKeysRead();

// Shows numbered message number (its kind, buttons and icon by its range) with
// extra text where the message takes one. Returns the button pressed (1 OK,
// 2 Cancel) for the messages that ask, 0 for the others and for numbers that
// have no message.
int16_t ShowMessage(int16_t number, const QString& extra = QString());

// Every character is a decimal digit (true for the empty text).
bool IsAllDigits(const QString& text);
// The text up to its first NUL character.
QString TrimAtNul(const QString& text);

// The leading decimal number of text (blanks, an optional sign, digits); 0
// when it has none. Values beyond the 32-bit range are clamped.
int32_t LeadingNumber(const QString& text);

// The settings file: key of section, or fallback when missing.
QString GetSetting(const QString& section, const QString& key, const QString& fallback);
// Reads a numeric setting as its leading number (fallback when missing),
// clamped to [low, high], and writes the number back, so that a missing key
// is created with its default.
int32_t ReadSettingNumber(const QString& section, const QString& key, int fallback, int low,
                          int high);
bool SaveSetting(const QString& section, const QString& key, const QString& value);

// The mouse pointer over every window of the tool: the hourglass while a
// form waits for a camera, the default otherwise.
namespace MousePointer {
void Hourglass();
void Default();
bool IsHourglass();
}  // namespace MousePointer

// Moves a top-level window to the middle of its screen.
void CentreOnScreen(QWidget* window);

// The numbers of a dotted address text; false unless it is four numbers of
// one to three digits, each at most 255.
bool SplitAddress(const QString& text, int16_t octets[4], QString texts[4] = nullptr);

}  // namespace kestcfg
