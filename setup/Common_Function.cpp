#include "setup/Common_Function.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <limits>

#include "platform/profile.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/MessageService.h"

namespace kestcfg {

namespace {

// What a missing key reads as; never shown.
const char kMissing[] = "Error";

std::string Local(const QString& text) {
    return text.toStdString();
}

enum class Kind {
    kQuestion,
    kQuestionExtra,
    kQuestionCancelFirst,
    kWarningAskExtra,
    kWarningExtra,
    kWarningTwoTexts,
    kWarning,
    kCritical,
    kInformation,
    kNone
};

bool In(int n, int first, int last) {
    return n >= first && n <= last;
}

Kind KindOf(int n) {
    if (n == 100 || n == 101 || n == 103 || In(n, 106, 109) || n == 112 || In(n, 114, 119)) {
        return Kind::kQuestion;
    }
    if (n == 102 || n == 104) return Kind::kQuestionExtra;
    if (n == 105) return Kind::kQuestionCancelFirst;
    if (n == 201) return Kind::kWarningAskExtra;
    if (n == 213) return Kind::kWarningExtra;
    if (n == 223) return Kind::kWarningTwoTexts;
    if (In(n, 202, 212) || In(n, 214, 222) || In(n, 224, 236) || In(n, 238, 251)) {
        return Kind::kWarning;
    }
    if (In(n, 301, 326)) return Kind::kCritical;
    if (n == 401 || n == 402) return Kind::kInformation;
    return Kind::kNone;
}

// The message boxes' line break.
const QString kLineBreak = QStringLiteral("\r\n");

QStringList& KeysRead() {
    static QStringList keys;
    return keys;
}

}  // namespace

QStringList LanguageKeysRead() {
    return KeysRead();
}

void ForgetLanguageKeysRead() {
    KeysRead().clear();
}

QString GetLangString(const QString& section, const QString& key) {
    const QString entry = section + QLatin1Char('/') + key;
    if (!KeysRead().contains(entry)) KeysRead().push_back(entry);
    const std::string value = kest::platform::GetProfileString(
        Local(Global::LanguageFile), Local(section), Local(key), kMissing);
    const QString text = TrimAtNul(QString::fromUtf8(value.data(), qsizetype(value.size())));
    return text == QLatin1String(kMissing) ? QString() : text;
}

int16_t ShowMessage(int16_t number, const QString& extra) {
    const Kind kind = KindOf(number);
    if (kind == Kind::kNone) return 0;
    const QString key = QString::number(number);
    MessageBoxSpec spec;
    spec.number = number;
    spec.title = GetLangString(QLatin1String(kTitleSection), QStringLiteral("1"));
    spec.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    spec.defaultButton = QMessageBox::Ok;
    bool asks = true;
    const QString question = QStringLiteral("MSG_QUESTION");
    const QString exclamation = QStringLiteral("MSG_EXCLAMATION");
    switch (kind) {
        case Kind::kQuestion:
            spec.icon = QMessageBox::Question;
            spec.text = GetLangString(question, key);
            break;
        case Kind::kQuestionExtra:
            spec.icon = QMessageBox::Question;
            spec.text = extra + kLineBreak + GetLangString(question, key);
            break;
        case Kind::kQuestionCancelFirst:
            spec.icon = QMessageBox::Question;
            spec.text = GetLangString(question, key);
            spec.defaultButton = QMessageBox::Cancel;
            break;
        case Kind::kWarningAskExtra:
            spec.icon = QMessageBox::Warning;
            spec.text = extra + kLineBreak + GetLangString(exclamation, key);
            spec.defaultButton = QMessageBox::Cancel;
            break;
        case Kind::kWarningExtra:
            spec.icon = QMessageBox::Warning;
            spec.text = extra + kLineBreak + GetLangString(exclamation, key);
            asks = false;
            break;
        case Kind::kWarningTwoTexts:
            spec.icon = QMessageBox::Warning;
            spec.text = GetLangString(exclamation, key) + kLineBreak +
                        GetLangString(question, QStringLiteral("110"));
            spec.foreground = true;
            break;
        case Kind::kWarning:
            spec.icon = QMessageBox::Warning;
            spec.text = GetLangString(exclamation, key);
            spec.buttons = QMessageBox::Ok;
            asks = false;
            break;
        case Kind::kCritical:
            spec.icon = QMessageBox::Critical;
            spec.text = GetLangString(QStringLiteral("MSG_CRITICAL"), key);
            spec.buttons = QMessageBox::Ok;
            asks = false;
            break;
        case Kind::kInformation:
            spec.icon = QMessageBox::Information;
            spec.text = GetLangString(QStringLiteral("MSG_INFORMATION"), key);
            spec.buttons = QMessageBox::Ok;
            asks = false;
            break;
        case Kind::kNone:
            return 0;
    }
    if (spec.buttons == QMessageBox::Ok) spec.defaultButton = QMessageBox::Ok;
    const QMessageBox::StandardButton answer = MessageService::show(spec);
    if (!asks) return 0;
    return answer == QMessageBox::Ok ? 1 : 2;
}

bool IsAllDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

QString TrimAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

int32_t LeadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = std::min<int64_t>(value * 10 + (text[i].unicode() - '0'),
                                  int64_t(std::numeric_limits<int32_t>::max()) + 1);
    }
    if (negative) value = -value;
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

QString GetSetting(const QString& section, const QString& key, const QString& fallback) {
    const std::string value = kest::platform::GetProfileString(
        Local(Global::SettingsFile), Local(section), Local(key), Local(fallback));
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

int32_t ReadSettingNumber(const QString& section, const QString& key, int fallback, int low,
                          int high) {
    const int32_t read = LeadingNumber(GetSetting(section, key, QString::number(fallback)));
    const int32_t value = std::clamp<int32_t>(read, low, high);
    SaveSetting(section, key, QString::number(value));
    return value;
}

bool SaveSetting(const QString& section, const QString& key, const QString& value) {
    return kest::platform::WriteProfileString(Local(Global::SettingsFile), Local(section),
                                              Local(key), Local(value));
}

namespace MousePointer {

namespace {
bool hourglass = false;
}

void Hourglass() {
    if (hourglass) return;
    hourglass = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Default() {
    if (!hourglass) return;
    hourglass = false;
    QApplication::restoreOverrideCursor();
}

bool IsHourglass() {
    return hourglass;
}

}  // namespace MousePointer

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->adjustSize();
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

bool SplitAddress(const QString& text, int16_t octets[4], QString texts[4]) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    int16_t values[4];
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 3 || !IsAllDigits(p)) return false;
        values[i] = int16_t(p.toInt());
        if (values[i] > 255) return false;
    }
    for (int i = 0; i < 4; ++i) {
        octets[i] = values[i];
        if (texts) texts[i] = parts[i];
    }
    return true;
}

}  // namespace kestcfg
