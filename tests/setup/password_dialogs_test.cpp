// The password change dialog: what the camera receives for each slot, and
// the password the tool goes on using.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <mutex>

#include "setup/Global.h"
#include "setup/SetupForm.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmSub_Password.h"
#include "sim/services.h"
#include "tests/setup/setup_fixture.h"
#include "widget/kest_widget.h"

namespace kestcfg::test {
namespace {

using ui::Find;

class PasswordChange : public SetupTest {
  protected:
    void SetUp() override {
        SetupTest::SetUp();
        camera_ = StartCamera(11, 20, "admin");
        Global::CameraAddress = QString::fromStdString(camera_->address());
        Global::CameraPassword = QStringLiteral("admin");
        SetupForm::PrepareControl(&setting_);
    }
    // Opens the dialog for slot, types both boxes and presses OK.
    void Change(int slot, const QString& password, const QString& confirm) {
        Global::PasswordSlot = int16_t(slot);
        frmSub_Password dialog(&setting_);
        dialog.show();
        EXPECT_EQ(Find<QLabel>(&dialog, "lblLabel_Form")->text(),
                  Lang("SUB_PASSWORD_A", QString::number(slot + 1)));
        ui::Type(Find(&dialog, "txtNewPassword"), password);
        ui::Type(Find(&dialog, "txtConfirmPassword"), confirm);
        camera_->ClearReceived();
        ui::Click(&dialog, "cmdOK");
    }
    std::array<uint8_t, 8> Block(const char* text) {
        std::array<uint8_t, 8> b;
        b.fill(' ');
        std::memcpy(b.data(), text, std::strlen(text));
        return b;
    }
    kest::sim::IdentityState::Password Stored(int level) {
        std::lock_guard lock(camera_->state_mutex());
        return camera_->State<kest::sim::IdentityState>().passwords[size_t(level)];
    }
    // The password block of a later call on a control set up by a form.
    std::string LaterCallBlock(kest::qt::KestWidget& control) {
        camera_->ClearReceived();
        QVariantList mode{QVariant()};
        control.call("GetImageMode", mode);
        const auto blocks = PasswordBlocks(*camera_, CommandCode("scmd_get_image_mode"));
        return blocks.empty() ? std::string() : blocks.back();
    }

    std::unique_ptr<kest::sim::Simulator> camera_;
    kest::qt::KestWidget setting_;
};

TEST_F(PasswordChange, ABlankTypedHasNoEffect) {
    frmSub_Password dialog(&setting_);
    dialog.show();
    auto* box = Find<QLineEdit>(&dialog, "txtNewPassword");
    box->setFocus();
    QTest::keyClicks(box, " a b ");
    EXPECT_EQ(box->text(), "ab");
    auto* confirm = Find<QLineEdit>(&dialog, "txtConfirmPassword");
    confirm->setFocus();
    QTest::keyClicks(confirm, "c d");
    EXPECT_EQ(confirm->text(), "cd");
    ui::SavePicture(&dialog, PictureFolder());
}

TEST_F(PasswordChange, EntriesThatDifferOrACancelledQuestionChangeNothing) {
    Change(0, "one", "two");
    EXPECT_EQ(TakeMessages(), std::vector<int>{206});
    MessageService::setNextAnswer(QMessageBox::Cancel);
    Change(0, "one", "one");
    EXPECT_EQ(TakeMessages(), std::vector<int>{112});
    EXPECT_EQ(camera_->ReceivedCount(), 0u);
}

TEST_F(PasswordChange, BothBoxesEmptySwitchTheLevelOffWithOneCall) {
    {
        std::lock_guard lock(camera_->state_mutex());
        auto& user = camera_->State<kest::sim::IdentityState>().passwords[0];
        user.block = Block("admin");
        user.enabled = true;
    }
    Change(0, "", "");
    EXPECT_EQ(TakeMessages(), std::vector<int>{112});
    const auto received = camera_->Received();
    ASSERT_EQ(received.size(), 3u);  // session open: scmd_nop, scmd_get_version; then one call
    EXPECT_EQ(received[2].code(), CommandCode("scmd_set_passwd_disable_user"));
    EXPECT_EQ(PasswordBlocks(*camera_, received[2].code()), std::vector<std::string>{"admin   "});
    EXPECT_FALSE(Stored(0).enabled);
    EXPECT_EQ(Global::CameraPassword.text(), "admin   ");
}

TEST_F(PasswordChange, ASuperPasswordChangeIsUsedByEveryLaterCall) {
    Change(2, "new2", "new2");
    EXPECT_EQ(TakeMessages(), std::vector<int>{112});
    EXPECT_EQ(PasswordBlocks(*camera_, CommandCode("scmd_set_super_passwd_disable")),
              std::vector<std::string>{"admin   "});
    // The new password's block is eight characters, blank-padded.
    EXPECT_EQ(Stored(2).block, Block("new2"));
    EXPECT_TRUE(Stored(2).enabled);
    EXPECT_EQ(Global::CameraPassword.text(), "new2    ");
    EXPECT_EQ(LaterCallBlock(setting_), "new2    ");
    kest::qt::KestWidget another_form;
    SetupForm::PrepareControl(&another_form);
    EXPECT_EQ(LaterCallBlock(another_form), "new2    ");
}

TEST_F(PasswordChange, AUserPasswordChangeKeepsTheToolsOwnPassword) {
    Change(0, "user0", "user0");
    EXPECT_EQ(TakeMessages(), std::vector<int>{112});
    EXPECT_EQ(Stored(0).block, Block("user0"));
    EXPECT_TRUE(Stored(0).enabled);
    EXPECT_EQ(Global::CameraPassword.text(), "admin   ");
    // The main settings form's control goes on with the tool's password.
    EXPECT_EQ(LaterCallBlock(setting_), "admin   ");
}

TEST_F(PasswordChange, ARefusedChangeGives225AndKeepsThePassword) {
    // Not the camera's super password: the camera refuses both calls.
    Global::CameraPassword = QStringLiteral("guess");
    SetupForm::PrepareControl(&setting_);
    Change(2, "new2", "new2");
    EXPECT_EQ(TakeMessages(), (std::vector<int>{112, 225}));
    EXPECT_EQ(Stored(2).block, Block("admin"));
    EXPECT_EQ(Global::CameraPassword.text(), "guess   ");
    EXPECT_EQ(LaterCallBlock(setting_), "guess   ");
}

TEST_F(PasswordChange, ASlotOutsideTheThreeLevelsCallsNothing) {
    Change(3, "x", "x");
    EXPECT_EQ(TakeMessages(), std::vector<int>{112});
    EXPECT_EQ(camera_->ReceivedCount(), 0u);
}

}  // namespace
}  // namespace kestcfg::test
