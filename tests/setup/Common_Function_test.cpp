// The modules every form uses: numbered messages, result codes, the texts,
// the small helpers, and the fixed password field.
#include <gtest/gtest.h>

#include <QFile>

#include "setup/Common_Function.h"
#include "setup/Cport_Function.h"
#include "setup/Global.h"
#include "setup/MessageService.h"
#include "tests/setup/setup_fixture.h"

namespace kestcfg::test {
namespace {

using Buttons = QMessageBox::StandardButtons;
using Button = QMessageBox::StandardButton;

class CommonFunction : public SetupTest {};

// One row per kind of numbered message: the box, its text and what
// ShowMessage returns for each answer.
TEST_F(CommonFunction, ShowMessageComposesEachKindOfBox) {
    const QString q = QStringLiteral("MSG_QUESTION"), e = QStringLiteral("MSG_EXCLAMATION");
    const QString crlf = QStringLiteral("\r\n"), extra = QStringLiteral("file.rec");
    struct Row {
        int number;
        QMessageBox::Icon icon;
        Buttons buttons;
        Button default_button;
        QString text;
        int ok_answer;  // what ShowMessage returns for OK (and 2 for Cancel where it asks)
        bool foreground = false;
    };
    const Buttons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const Row rows[] = {
        {100, QMessageBox::Question, okCancel, QMessageBox::Ok, Lang(q, "100"), 1},
        {109, QMessageBox::Question, okCancel, QMessageBox::Ok, Lang(q, "109"), 1},
        {119, QMessageBox::Question, okCancel, QMessageBox::Ok, Lang(q, "119"), 1},
        {102, QMessageBox::Question, okCancel, QMessageBox::Ok, extra + crlf + Lang(q, "102"), 1},
        {105, QMessageBox::Question, okCancel, QMessageBox::Cancel, Lang(q, "105"), 1},
        {201, QMessageBox::Warning, okCancel, QMessageBox::Cancel, extra + crlf + Lang(e, "201"),
         1},
        {213, QMessageBox::Warning, okCancel, QMessageBox::Ok, extra + crlf + Lang(e, "213"), 0},
        {223, QMessageBox::Warning, okCancel, QMessageBox::Ok,
         Lang(e, "223") + crlf + Lang(q, "110"), 1, true},
        {219, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, Lang(e, "219"), 0},
        {251, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, Lang(e, "251"), 0},
        {301, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok,
         Lang(QStringLiteral("MSG_CRITICAL"), "301"), 0},
        {402, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok,
         Lang(QStringLiteral("MSG_INFORMATION"), "402"), 0},
    };
    const QString title = Lang(QStringLiteral("TITLE_SETUP"), QStringLiteral("1"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        MessageService::setNextAnswer(QMessageBox::Ok);
        EXPECT_EQ(ShowMessage(int16_t(row.number), extra), row.ok_answer);
        const QList<ShownMessage> shown = MessageService::takeShown();
        ASSERT_EQ(shown.size(), 1);
        const MessageBoxSpec& box = shown[0].spec;
        EXPECT_EQ(box.number, row.number);
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.text, row.text);
        EXPECT_FALSE(row.text.trimmed().isEmpty());
        EXPECT_EQ(box.icon, row.icon);
        EXPECT_EQ(box.buttons, row.buttons);
        EXPECT_EQ(box.defaultButton, row.default_button);
        EXPECT_EQ(box.foreground, row.foreground);
        if (row.number == 105) {
            // Unanswered, a box takes its default button.
            EXPECT_EQ(ShowMessage(105), 2);
            MessageService::takeShown();
        }
        if (row.buttons == okCancel && row.ok_answer == 1) {
            MessageService::setNextAnswer(QMessageBox::Cancel);
            EXPECT_EQ(ShowMessage(int16_t(row.number), extra), 2);
            MessageService::takeShown();
        }
    }
    // Numbers without a message show nothing.
    for (int none : {0, 99, 110, 111, 113, 120, 200, 237, 252, 300, 327, 400, 403}) {
        EXPECT_EQ(ShowMessage(int16_t(none)), 0) << none;
    }
    EXPECT_TRUE(MessageService::takeShown().isEmpty());
}

TEST_F(CommonFunction, ResultCodesMapToTheirMessages) {
    const std::pair<int, int> rows[] = {
        {-54, 218}, {-53, 215},  {-61, 215},  {-404, 215}, {-41, 219}, {-5, 308},
        {-60, 310}, {-401, 206}, {-500, 225}, {1, 216},    {5, 216},   {-1, 216},
    };
    for (const auto& [code, message] : rows) {
        ReportResult(int16_t(code));
        EXPECT_EQ(TakeMessages(), std::vector<int>{message}) << code;
    }
    ReportResult(-202);
    EXPECT_TRUE(TakeMessages().empty());
    // HandleResult: -55 is silent, others are reported and not retried.
    int16_t code = -55;
    EXPECT_FALSE(HandleResult(code));
    EXPECT_TRUE(TakeMessages().empty());
    code = -54;
    EXPECT_FALSE(HandleResult(code));
    EXPECT_EQ(TakeMessages(), std::vector<int>{218});
}

TEST_F(CommonFunction, MissingTextsReadAsEmpty) {
    EXPECT_EQ(GetLangString(QStringLiteral("MAIN_IP_A"), QStringLiteral("2")),
              Lang(QStringLiteral("MAIN_IP_A"), QStringLiteral("2")));
    EXPECT_EQ(GetLangString(QStringLiteral("MAIN_IP_A"), QStringLiteral("99")), QString());
    ForgetLanguageKeysRead();
    // A text that reads "Error" is the lookup's own default: never shown.
    Global::LanguageFile = folder_.filePath(QStringLiteral("other.ini"));
    QFile file(Global::LanguageFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const char text[] = "[S]\nerror=Error\nnul=ab\0cd\nok=  text with blanks  \n";
    file.write(text, sizeof text - 1);
    file.close();
    EXPECT_EQ(GetLangString(QStringLiteral("S"), QStringLiteral("error")), QString());
    EXPECT_EQ(GetLangString(QStringLiteral("S"), QStringLiteral("ok")), "text with blanks");
    EXPECT_EQ(GetLangString(QStringLiteral("S"), QStringLiteral("nul")), "ab");
    Global::LanguageFile = folder_.filePath(QStringLiteral("none.ini"));
    EXPECT_EQ(GetLangString(QStringLiteral("TITLE_SETUP"), QStringLiteral("1")), QString());
    EXPECT_EQ(ShowMessage(219), 0);
    EXPECT_EQ(MessageService::takeShown().value(0).spec.text, QString());
    ForgetLanguageKeysRead();  // read on purpose: not the forms' keys
}

TEST(CommonHelpers, TextHelpers) {
    EXPECT_TRUE(IsAllDigits(QString()));
    EXPECT_TRUE(IsAllDigits(QStringLiteral("0123456789")));
    EXPECT_FALSE(IsAllDigits(QStringLiteral("12a")));
    EXPECT_FALSE(IsAllDigits(QStringLiteral(" 1")));
    EXPECT_FALSE(IsAllDigits(QStringLiteral("-1")));
    EXPECT_EQ(TrimAtNul(QStringLiteral("abc")), "abc");
    EXPECT_EQ(TrimAtNul(QString::fromLatin1("ab\0cd", 5)), "ab");
    EXPECT_EQ(TrimAtNul(QString::fromLatin1("\0x", 2)), "");

    const std::pair<const char*, int32_t> numbers[] = {
        {"500", 500},
        {"  42abc", 42},
        {"-7", -7},
        {"+8", 8},
        {"abc", 0},
        {"", 0},
        {"0x10", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
    };
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(text)), value) << text;

    int16_t octets[4];
    QString texts[4];
    EXPECT_TRUE(SplitAddress(QStringLiteral("127.000.000.005"), octets, texts));
    EXPECT_EQ(texts[1], "000");
    EXPECT_EQ(octets[3], 5);
    EXPECT_TRUE(SplitAddress(QStringLiteral(" 127.0.0.5 "), octets));
    for (const char* bad :
         {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "a.b.c.d", "1.2.3.0004", ""})
        EXPECT_FALSE(SplitAddress(QString::fromLatin1(bad), octets)) << bad;
}

TEST(CommonHelpers, PasswordsAreFixedFieldsOfEightCharacters) {
    PasswordField field;
    EXPECT_EQ(field.text(), "        ");
    EXPECT_TRUE(field.isBlank());
    field = QStringLiteral("wrong");
    EXPECT_EQ(field.text(), "wrong   ");
    field = QStringLiteral("abcdefghij");
    EXPECT_EQ(field.text(), "abcdefgh");
    field = QString();
    EXPECT_EQ(field.text(), QString(8, QLatin1Char(' ')));
}

}  // namespace
}  // namespace kestcfg::test
