// The connect dialog: octet boxes, the address it builds, and the connect
// sequence against simulated cameras (identify, log in, hand over).
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "platform/profile.h"
#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "sim/loopback_address.h"
#include "tests/setup/setup_fixture.h"
#include "widget/kest_widget.h"

namespace kestcfg::test {
namespace {

using ui::Find;

QString Padded(const std::string& address, std::array<QString, 4>& boxes) {
    const QStringList parts = QString::fromStdString(address).split('.');
    for (int i = 0; i < 4; ++i)
        boxes[size_t(i)] = parts[i].rightJustified(3, '0');
    return QString::fromStdString(address);
}

class ConnectDialog : public SetupTest {
  protected:
    void SetUp() override {
        SetupTest::SetUp();
        dialog_ = std::make_unique<frmMain_IP>();
        dialog_->show();
        QApplication::setActiveWindow(dialog_.get());
    }
    void TearDown() override {
        dialog_.reset();
        SetupTest::TearDown();
    }
    void Fill(const std::array<QString, 4>& boxes) {
        for (int i = 0; i < 4; ++i)
            Find<QLineEdit>(dialog_.get(), QStringLiteral("txtIP_%1").arg(i))
                ->setText(boxes[size_t(i)]);
    }
    void FillAddress(const std::string& address) {
        std::array<QString, 4> boxes;
        Padded(address, boxes);
        Fill(boxes);
    }
    QWidget* SettingForm() { return ui::Window(QStringLiteral("frmMain_Setting_Marten")); }
    // Answers the login prompts in turn (a null text: Cancel), noting the
    // messages shown before each.
    void AnswerPrompts(std::vector<QString> passwords) {
        ui::WhenShown("frmWork_Password_Cport", [this, passwords](QWidget* prompt) {
            ASSERT_TRUE(prompt);
            messages_at_prompts_.push_back(TakeMessages());
            if (passwords.empty() || passwords.front().isNull()) {
                ui::Click(prompt, "cmdCancel");
                return;
            }
            ui::Type(Find(prompt, "txtPassword"), passwords.front());
            AnswerPrompts({passwords.begin() + 1, passwords.end()});
            ui::Click(prompt, "cmdOK");
        });
    }

    std::unique_ptr<frmMain_IP> dialog_;
    std::vector<std::vector<int>> messages_at_prompts_;
};

// The octet check and the address built from the boxes, without traffic.
TEST(ConnectAddressCheck, BuildsTheAddressAsTheBoxesHoldIt) {
    struct Row {
        std::array<QString, 4> boxes;
        int bad_box;
        QString address;
    };
    const Row rows[] = {
        {{"192", "168", "000", "010"}, -1, "192.168.0.10"},
        {{"010", "1", "1", "1"}, -1, "010.1.1.1"},  // the first box keeps its zero
        {{" 127", "0", "0", "5"}, -1, "127.0.0.5"},
        {{"255", "255", "255", "1"}, -1, "255.255.255.1"},
        {{"127", "0", "0", "254"}, -1, "127.0.0.254"},
        {{"127", "0", "0", "0"}, 3, ""},
        {{"127", "0", "0", "255"}, 3, ""},
        {{"127", "0", "0", "300"}, 3, ""},
        {{"127", "", "0", "1"}, 1, ""},
        {{"256", "0", "0", "1"}, 0, ""},
        {{"127", "0", "abc", "1"}, 2, ""},
        {{"127", "-1", "0", "1"}, 1, ""},
    };
    for (const Row& row : rows) {
        const ConnectAddress c = CheckConnectAddress(row.boxes);
        EXPECT_EQ(c.badBox, row.bad_box)
            << row.boxes[0].toStdString() << "." << row.boxes[3].toStdString();
        if (row.bad_box < 0) {
            EXPECT_EQ(c.address, row.address);
        }
    }
    const ConnectAddress c = CheckConnectAddress({"192", "168", "000", "010"});
    EXPECT_EQ(c.octets, (std::array<int16_t, 4>{192, 168, 0, 10}));
}

TEST_F(ConnectDialog, ShowsItsTextsAndStartsInTheFirstBox) {
    const QString main = QStringLiteral("MAIN_IP_A");
    EXPECT_EQ(dialog_->windowTitle(), Lang("TITLE_SETUP", "1"));
    EXPECT_EQ(Find<QLabel>(dialog_.get(), "lblKestStart")->text(), Lang(main, "1"));
    EXPECT_EQ(Find<QLabel>(dialog_.get(), "LabelIPaddress")->text(), Lang(main, "2"));
    EXPECT_EQ(Find<QPushButton>(dialog_.get(), "cmdSearch")->text(), Lang("BUTTON_A", "8"));
    EXPECT_EQ(Find<QLabel>(dialog_.get(), "LabelIPaddress")->buddy(),
              Find(dialog_.get(), "txtIP_0"));
    EXPECT_FALSE(Find(dialog_.get(), "FrameTimeOut")->isVisible());
    EXPECT_FALSE(Find(dialog_.get(), "vn_MainIP")->isVisible());
    EXPECT_EQ(
        Find<kest::qt::KestWidget>(dialog_.get(), "vn_MainIP")->controlProperty("Timeout").toInt(),
        200);
    QApplication::setActiveWindow(dialog_.get());
    ui::WaitFor([&] { return QApplication::focusWidget() != nullptr; }, 1000);
    EXPECT_EQ(QApplication::focusWidget(), Find(dialog_.get(), "txtIP_0"));
    ui::SavePicture(dialog_.get(), PictureFolder());
}

TEST_F(ConnectDialog, BoxesTakeDigitsAndMoveOn) {
    QApplication::setActiveWindow(dialog_.get());
    auto* box0 = Find<QLineEdit>(dialog_.get(), "txtIP_0");
    auto* box1 = Find<QLineEdit>(dialog_.get(), "txtIP_1");
    box0->setFocus();
    QTest::keyClicks(box0, "1x2");
    EXPECT_EQ(box0->text(), "12");
    QTest::keyClick(box0, '.');
    EXPECT_EQ(box0->text(), "12");
    EXPECT_TRUE(box1->hasFocus());
    QTest::keyClicks(box1, "168");  // three digits: on to the next box
    EXPECT_TRUE(Find<QLineEdit>(dialog_.get(), "txtIP_2")->hasFocus());
    auto* box3 = Find<QLineEdit>(dialog_.get(), "txtIP_3");
    box3->setFocus();
    QTest::keyClicks(box3, "1.0");  // no box after the last: "." is refused
    EXPECT_EQ(box3->text(), "10");
    QTest::keyClicks(box3, "0");
    EXPECT_TRUE(Find<QPushButton>(dialog_.get(), "cmdOK")->hasFocus());
    box1->setText("1a");  // pasted text that is not all digits is emptied
    EXPECT_EQ(box1->text(), "");
}

TEST_F(ConnectDialog, FillsTheLastAddressUsed) {
    for (const char* stored : {"127.000.000.005", "127.0.0.5"}) {
        kest::platform::WriteProfileString(settings_path().toStdString(), "SetUpTool", "IpAddress",
                                           stored);
        frmMain_IP again;
        EXPECT_EQ(Find<QLineEdit>(&again, "txtIP_0")->text(), "127");
        EXPECT_EQ(Find<QLineEdit>(&again, "txtIP_3")->text().toInt(), 5);
    }
    for (const char* ignored : {"127.0.0", "localhost", "1.2.3.400", "1.2.3.4.5"}) {
        kest::platform::WriteProfileString(settings_path().toStdString(), "SetUpTool", "IpAddress",
                                           ignored);
        frmMain_IP again;
        EXPECT_EQ(Find<QLineEdit>(&again, "txtIP_0")->text(), "") << ignored;
    }
}

TEST_F(ConnectDialog, RefusedOctetsStopBeforeAnyCall) {
    for (const char* last : {"0", "255"}) {
        Fill({"127", "0", "0", last});
        ui::Click(dialog_.get(), "cmdOK");
        EXPECT_EQ(TakeMessages(), std::vector<int>{219}) << last;
        EXPECT_TRUE(Find(dialog_.get(), "txtIP_3")->hasFocus());
        // The control was never given an address: nothing went out.
        EXPECT_EQ(Find<kest::qt::KestWidget>(dialog_.get(), "vn_MainIP")
                      ->controlProperty("RemoteIPAddress")
                      .toString(),
                  "");
    }
}

TEST_F(ConnectDialog, LogsInWithTheSuperPasswordAndOpensTheSettingForm) {
    auto camera = StartCamera(11, 20, "pw");
    std::array<QString, 4> boxes;
    const QString address = Padded(camera->address(), boxes);  // e.g. 127.004.083.010
    Fill(boxes);
    QString prompted_title;
    ui::WhenShown("frmWork_Password_Cport", [&](QWidget* prompt) {
        ASSERT_TRUE(prompt);
        prompted_title = prompt->windowTitle();
        ui::Type(Find(prompt, "txtPassword"), "pw");
        ui::SavePicture(prompt, PictureFolder());
        ui::Click(prompt, "cmdOK");
    });
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_EQ(prompted_title, Lang("WORK_PASSWORD_CPORT_A", "1"));
    EXPECT_TRUE(TakeMessages().empty());
    ASSERT_TRUE(SettingForm());
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(Global::CameraAddress, address);
    EXPECT_EQ(Global::TypeNumber, 11);
    EXPECT_EQ(Global::CameraPassword.text(), "pw      ");
    // The blank password first, then the one typed, blank-padded.
    EXPECT_EQ(PasswordBlocks(*camera, CommandCode("scmd_check_admin_passwd")),
              (std::vector<std::string>{"        ", "pw      "}));
    // The address as typed is what the next start fills in.
    EXPECT_EQ(kest::platform::GetProfileString(settings_path().toStdString(), "SetUpTool",
                                               "IpAddress", ""),
              (boxes[0] + "." + boxes[1] + "." + boxes[2] + "." + boxes[3]).toStdString());
    ui::SavePicture(SettingForm(), PictureFolder());
    // Leaving the setting form shows the connect dialog again.
    SettingForm()->close();
    EXPECT_TRUE(ui::WaitFor([&] { return dialog_->isVisible(); }, 2000));
}

TEST_F(ConnectDialog, ACameraWithoutPasswordNeedsNoPrompt) {
    auto camera = StartCamera(11);
    FillAddress(camera->address());
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_TRUE(SettingForm());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(PasswordBlocks(*camera, CommandCode("scmd_check_admin_passwd")).size(), 1u);
}

TEST_F(ConnectDialog, OnlyModelElevenIsServed) {
    for (int model : {20, 13, 3, 0}) {
        auto camera = StartCamera(model);
        FillAddress(camera->address());
        ui::Click(dialog_.get(), "cmdOK");
        EXPECT_EQ(TakeMessages(), std::vector<int>{248}) << model;
        EXPECT_FALSE(SettingForm());
        EXPECT_TRUE(dialog_->isVisible());
        EXPECT_EQ(camera->ReceivedCount(CommandCode("scmd_check_admin_passwd")), 0u);
    }
}

TEST_F(ConnectDialog, ASilentCameraGives218) {
    // A loopback address where nothing listens, and a camera that never answers.
    FillAddress(kest::sim::FreeLoopbackAddress(4000));
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{218});
    auto camera = StartCamera(11);
    camera->DropNextReplies(1000);
    FillAddress(camera->address());
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{218});
    EXPECT_FALSE(SettingForm());
    EXPECT_FALSE(MousePointer::IsHourglass());
}

TEST_F(ConnectDialog, ACancelledPromptEndsTheAttemptSilently) {
    auto camera = StartCamera(11, 20, "secret");
    FillAddress(camera->address());
    ui::WhenShown("frmWork_Password_Cport",
                  [](QWidget* prompt) { ui::Click(prompt, "cmdCancel"); });
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_FALSE(SettingForm());
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_FALSE(Global::PasswordEntered);
}

TEST_F(ConnectDialog, ASecondWrongPasswordShows206BeforeThePrompt) {
    auto camera = StartCamera(11, 20, "secret");
    FillAddress(camera->address());
    // Two wrong passwords (the second longer than the field), then Cancel.
    AnswerPrompts({"wrong", "secret9876", QString()});
    ui::Click(dialog_.get(), "cmdOK");
    ASSERT_EQ(messages_at_prompts_.size(), 3u);
    EXPECT_TRUE(messages_at_prompts_[0].empty());
    EXPECT_EQ(messages_at_prompts_[1], std::vector<int>{206});
    EXPECT_EQ(messages_at_prompts_[2], std::vector<int>{206});
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(PasswordBlocks(*camera, CommandCode("scmd_check_admin_passwd")),
              (std::vector<std::string>{"        ", "wrong   ", "secret98"}));
    EXPECT_FALSE(SettingForm());
}

TEST_F(ConnectDialog, ALongPasswordIsCutToEightCharacters) {
    auto camera = StartCamera(11, 20, "abcdefgh");
    FillAddress(camera->address());
    AnswerPrompts({"abcdefghij"});
    ui::Click(dialog_.get(), "cmdOK");
    EXPECT_TRUE(SettingForm());
    EXPECT_EQ(Global::CameraPassword.text(), "abcdefgh");
}

TEST_F(ConnectDialog, CancelEndsTheProgramAndClosingAsksFirst) {
    QSignalSpy ended(dialog_.get(), &frmMain_IP::programEnded);
    MessageService::setNextAnswer(QMessageBox::Cancel);
    dialog_->close();
    EXPECT_EQ(TakeMessages(), std::vector<int>{109});
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(ended.count(), 0);
    dialog_->close();  // answered OK
    EXPECT_EQ(TakeMessages(), std::vector<int>{109});
    EXPECT_EQ(ended.count(), 1);

    dialog_->show();
    QTest::keyClick(dialog_.get(), Qt::Key_Escape);  // Escape is Cancel: no question
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(ended.count(), 2);
    EXPECT_FALSE(dialog_->isVisible());
}

}  // namespace
}  // namespace kestcfg::test
