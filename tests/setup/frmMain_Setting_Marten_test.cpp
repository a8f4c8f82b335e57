// The main settings form against simulated cameras of each model: what it
// shows and enables, the checks of OK, what the camera receives, the restart,
// and the connect dialog following the camera to its new address.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <map>
#include <mutex>

#include "setup/Global.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "setup/frmMain_Setting_Marten.h"
#include "sim/imaging.h"
#include "sim/loopback_address.h"
#include "sim/services.h"
#include "tests/setup/setup_fixture.h"

namespace kestcfg::test {
namespace {

using ui::Find;

class MainSettings : public SetupTest {
  protected:
    // The main settings form for a camera of model and program version,
    // as the connect dialog leaves the program-wide state.
    frmMain_Setting_Marten* Open(kest::sim::Simulator& camera, int model, int version = 20) {
        Global::CameraAddress = QString::fromStdString(camera.address());
        const QStringList parts = Global::CameraAddress.split('.');
        for (int i = 0; i < 4; ++i)
            Global::SelectedOctets[size_t(i)] = int16_t(parts[i].toInt());
        Global::TypeNumber = int16_t(model);
        Global::ProgramVersion = int16_t(version);
        form_ = new frmMain_Setting_Marten();
        form_->show();
        QApplication::setActiveWindow(form_);
        return form_;
    }
    void TearDown() override {
        delete form_.data();
        SetupTest::TearDown();
    }
    bool On(const char* name) { return Find(form_, name)->isEnabled(); }
    void SetRow(const char* prefix, const QString& address) {
        const QStringList parts = address.split('.');
        for (int i = 0; i < 4; ++i)
            Find<QLineEdit>(form_, QStringLiteral("%1_%2").arg(prefix).arg(i))->setText(parts[i]);
    }
    size_t Writes(const kest::sim::Simulator& camera) {
        size_t n = 0;
        for (const char* name : {"scmd_set_image_mode", "scmd_set_DHCP", "scmd_set_subnet_mask",
                                 "scmd_set_default_gateway", "scmd_set_ip_address",
                                 "scmd_set_camera_id", "scmd_reset_camera"}) {
            n += camera.ReceivedCount(CommandCode(name));
        }
        return n;
    }

    QPointer<frmMain_Setting_Marten> form_;
};

TEST_F(MainSettings, ShowsTheCamerasValuesAndEnablesByModelEleven) {
    auto camera = StartCamera(11);
    Open(*camera, 11);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(form_->windowTitle(), Lang("TITLE_SETUP", "1"));
    EXPECT_EQ(Find<QLabel>(form_, "lblIpAddress")->text(), ": " + Global::CameraAddress);
    EXPECT_EQ(Find<QLabel>(form_, "lblMacAddress")->text(), ": 00.80.4B.1E.57.01");
    EXPECT_EQ(Find<QLabel>(form_, "lblCamID")->text(), ": KESTCAM1");
    EXPECT_EQ(Find<QLineEdit>(form_, "txtCamID")->text(), "KESTCAM1");
    EXPECT_EQ(Find<QLineEdit>(form_, "txtSub_0")->text(), "255");
    EXPECT_EQ(Find<QLineEdit>(form_, "txtGateIP_3")->text(), "254");
    EXPECT_TRUE(Find<QRadioButton>(form_, "OptDHCP_OFF")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(form_, "optMode_Jpeg")->isChecked());
    EXPECT_FALSE(On("cmdMPEG4_Setting"));
    EXPECT_FALSE(On("cmdMotionDetection"));  // the camera does not detect motion
    EXPECT_TRUE(On("cmdMultiCast"));
    EXPECT_TRUE(On("cmdRec"));
    EXPECT_EQ(Find<QPushButton>(form_, "cmdSetPassword_0")->text(), Lang("MAIN_SETTING_A", "24"));
    ui::SavePicture(form_, PictureFolder());
}

TEST_F(MainSettings, AModelElevenInMpeg4ModeDisablesWhatNeedsPictures) {
    auto camera = StartCamera(11);
    {
        std::lock_guard lock(camera->state_mutex());
        auto& imaging = camera->State<kest::sim::ImagingState>();
        imaging.image_mode = 1;
        imaging.motion_detect = 1;
    }
    Open(*camera, 11);
    EXPECT_TRUE(Find<QRadioButton>(form_, "optMode_Mpeg4")->isChecked());
    EXPECT_TRUE(On("cmdMPEG4_Setting"));
    EXPECT_FALSE(On("cmdMotionDetection"));
    EXPECT_FALSE(On("cmdMultiCast"));
    EXPECT_FALSE(On("cmdRec"));
}

// Which buttons each model and program version enables.
TEST_F(MainSettings, EnablesByModelAndProgramVersion) {
    struct Row {
        int model, version;
        std::map<std::string, bool> on;
    };
    const Row rows[] = {
        {20,
         9,
         {{"cmdFTP", false},
          {"cmdMultiCast", false},
          {"OptDHCP", false},
          {"cmdRec", true},
          {"cmdAlarm", true},
          {"cmdDefaultPage", false},
          {"txtSub_0", true}}},
        {20, 10, {{"cmdFTP", true}, {"cmdMultiCast", false}}},
        {20, 19, {{"cmdFTP", true}, {"cmdMultiCast", false}}},
        {20, 20, {{"cmdFTP", true}, {"cmdMultiCast", true}, {"cmdMPEG4_Setting", false}}},
        {13,
         29,
         {{"cmdFTP", false},
          {"cmdAlarm", true},
          {"cmdRec", false},
          {"cmdSetTime", false},
          {"cmdMotionDetection", false},
          {"cmdCFInfo", false},
          {"txtGateIP_0", true}}},
        {13, 30, {{"cmdFTP", true}}},
        {3,
         20,
         {{"cmdAlarm", true},
          {"txtSub_0", false},
          {"cmdSetPassword_0", false},
          {"cmdSetPassword_2", true},
          {"cmdFTP", false},
          {"cmdSetTime", false}}},
        {1, 20, {{"cmdAlarm", false}, {"txtGateIP_3", false}, {"OptDHCP_OFF", false}}},
    };
    for (const Row& row : rows) {
        auto camera = StartCamera(row.model, row.version);
        Open(*camera, row.model, row.version);
        for (const auto& [name, on] : row.on) {
            EXPECT_EQ(On(name.c_str()), on) << row.model << "/" << row.version << " " << name;
        }
        if (row.model == 20) {
            EXPECT_TRUE(Find<QRadioButton>(form_, "OptDHCP_OFF")->isChecked());
        }
        delete form_.data();
    }
}

TEST_F(MainSettings, OkWithNothingChangedWritesNothing) {
    frmMain_IP connect;
    auto camera = StartCamera(11);
    Open(*camera, 11);
    camera->ClearReceived();
    ui::Click(form_, "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{108});
    EXPECT_EQ(Writes(*camera), 0u);
    EXPECT_TRUE(ui::WaitFor([&] { return form_.isNull(); }, 2000));
    EXPECT_TRUE(connect.isVisible());
}

TEST_F(MainSettings, ANewCameraIdAloneIsWrittenBlankPaddedWithoutARestart) {
    auto camera = StartCamera(11);
    Open(*camera, 11);
    Find<QLineEdit>(form_, "txtCamID")->setText("CAM777");
    camera->ClearReceived();
    ui::Click(form_, "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{108});
    std::lock_guard lock(camera->state_mutex());
    const auto& identity = camera->State<kest::sim::IdentityState>();
    const std::array<uint8_t, 8> expected{'C', 'A', 'M', '7', '7', '7', ' ', ' '};
    EXPECT_EQ(identity.camera_id, expected);
    EXPECT_EQ(camera->ReceivedCount(CommandCode("scmd_set_camera_id")), 1u);
    EXPECT_EQ(camera->ReceivedCount(CommandCode("scmd_reset_camera")), 0u);
}

TEST_F(MainSettings, OkChecksTheEntriesBeforeWriting) {
    auto camera = StartCamera(11);
    Open(*camera, 11);
    struct Row {
        const char* prefix;
        const char* value;
        int message;
    };
    const Row rows[] = {
        {"txtIP", "224.1.1.1", 219},        {"txtIP", "10.0.0.255", 219},
        {"txtIP", "0.1.1.1", 219},          {"txtSub", "0.0.0.0", 222},
        {"txtSub", "255.255.255.255", 222}, {"txtGateIP", "127.0.300.1", 228},
    };
    const QString address = Global::CameraAddress;
    for (const Row& row : rows) {
        SetRow("txtIP", address);
        SetRow("txtSub", "255.0.0.0");
        SetRow("txtGateIP", "127.0.0.254");
        SetRow(row.prefix, row.value);
        camera->ClearReceived();
        ui::Click(form_, "cmdOK");
        EXPECT_EQ(TakeMessages(), (std::vector<int>{108, row.message})) << row.value;
        EXPECT_EQ(Writes(*camera), 0u) << row.value;
        EXPECT_TRUE(form_->isVisible());
    }
    SetRow("txtIP", address);
    SetRow("txtSub", "255.0.0.0");
    SetRow("txtGateIP", "127.0.0.254");
    Find<QLineEdit>(form_, "txtCamID")->setText("NINECHARS");  // pasted past the key filter
    ui::Click(form_, "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{221});
    // Question 108 answered Cancel stops before anything.
    Find<QLineEdit>(form_, "txtCamID")->setText("CAM1");
    MessageService::setNextAnswer(QMessageBox::Cancel);
    camera->ClearReceived();
    ui::Click(form_, "cmdOK");
    EXPECT_EQ(Writes(*camera), 0u);
}

TEST_F(MainSettings, ARestartIsTriedTenTimes) {
    for (int failures : {9, 10}) {
        auto camera = StartCamera(11);
        auto refused = std::make_shared<int>(failures);
        camera->Wrap(CommandCode("scmd_reset_camera"),
                     [refused](kest::sim::Simulator& s, const kest::sim::Request& q,
                               kest::sim::Response& r, const kest::sim::Handler& previous) {
                         if ((*refused)-- > 0) {
                             r.status = 1;
                             return;
                         }
                         previous(s, q, r);
                     });
        Open(*camera, 11);
        SetRow("txtSub", "255.255.0.0");  // a network change: the camera must restart
        ui::Click(form_, "cmdOK");
        EXPECT_EQ(camera->ReceivedCount(CommandCode("scmd_reset_camera")), 10u);
        if (failures == 9) {
            EXPECT_EQ(TakeMessages(), std::vector<int>{108});
            EXPECT_TRUE(ui::WaitFor([&] { return form_.isNull(); }, 2000));
        } else {
            EXPECT_EQ(TakeMessages(), (std::vector<int>{108, 225}));
            EXPECT_TRUE(form_->isVisible());
            delete form_.data();
        }
    }
}

TEST_F(MainSettings, AFailingReadShows215Once) {
    auto camera = StartCamera(11);
    camera->Wrap(CommandCode("scmd_get_mac_address"),
                 [](kest::sim::Simulator&, const kest::sim::Request&, kest::sim::Response& r,
                    const kest::sim::Handler&) { r.send = false; });
    camera->Wrap(CommandCode("scmd_get_image_mode"),
                 [](kest::sim::Simulator&, const kest::sim::Request&, kest::sim::Response& r,
                    const kest::sim::Handler&) { r.status = 1; });
    Open(*camera, 11);
    EXPECT_EQ(TakeMessages(), std::vector<int>{215});
    EXPECT_EQ(Find<QLabel>(form_, "lblMacAddress")->text(), ": ");
}

TEST_F(MainSettings, EntryRules) {
    auto camera = StartCamera(11);
    Open(*camera, 11);
    auto* box = Find<QLineEdit>(form_, "txtIP_1");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "1x7");
    EXPECT_EQ(box->text(), "17");
    EXPECT_EQ(box->palette().color(QPalette::Text), QColor(Qt::red));
    QTest::keyClicks(box, "2");  // three digits: on along the row
    EXPECT_TRUE(Find(form_, "txtIP_2")->hasFocus());
    auto* id = Find<QLineEdit>(form_, "txtCamID");
    id->setFocus();
    id->selectAll();
    QTest::keyClicks(id, "AB-C d_1234");
    EXPECT_EQ(id->text(), "ABCd1234");
    EXPECT_TRUE(Find(form_, "cmdOK")->hasFocus());
    ui::Click(form_, "OptDHCP");
    EXPECT_TRUE(On("cmdDHCP"));
    EXPECT_FALSE(On("txtIP_0"));
    EXPECT_FALSE(On("txtGateIP_3"));
    ui::Click(form_, "OptDHCP_OFF");
    EXPECT_FALSE(On("cmdDHCP"));
    EXPECT_TRUE(On("txtSub_2"));
    ui::Click(form_, "optMode_Mpeg4");
    EXPECT_TRUE(On("cmdMPEG4_Setting"));
    ui::Click(form_, "optMode_Jpeg");
    EXPECT_FALSE(On("cmdMPEG4_Setting"));
}

TEST_F(MainSettings, ThePasswordButtonsOpenTheChangeDialogForTheirSlot) {
    auto camera = StartCamera(11);
    Open(*camera, 11);
    for (int slot = 0; slot < 3; ++slot) {
        QString label;
        ui::WhenShown("frmSub_Password", [&](QWidget* dialog) {
            ASSERT_TRUE(dialog);
            label = Find<QLabel>(dialog, "lblLabel_Form")->text();
            ui::Click(dialog, "cmdCancel");
        });
        ui::Click(form_, QStringLiteral("cmdSetPassword_%1").arg(slot));
        EXPECT_EQ(Global::PasswordSlot, slot);
        EXPECT_EQ(label, Lang("SUB_PASSWORD_A", QString::number(slot + 1)));
    }
}

// The connect dialog follows a camera that OK moved and restarted.
class FollowCamera : public SetupTest {
  protected:
    void SetUp() override {
        SetupTest::SetUp();
        connect_ = std::make_unique<frmMain_IP>();
        connect_->show();
    }
    void TearDown() override {
        connect_.reset();
        SetupTest::TearDown();
    }
    // Connects to camera and returns its main settings form.
    QWidget* Connect(kest::sim::Simulator& camera) {
        connect_->fillAddress(QString::fromStdString(camera.address()));
        ui::Click(connect_.get(), "cmdOK");
        return ui::Window("frmMain_Setting_Marten");
    }
    void SetRow(QWidget* form, const char* prefix, const QString& address) {
        const QStringList parts = address.split('.');
        for (int i = 0; i < 4; ++i)
            Find<QLineEdit>(form, QStringLiteral("%1_%2").arg(prefix).arg(i))->setText(parts[i]);
    }
    QString Own(int key) { return Lang("KESTCFG_A", QString::number(key)); }
    bool StatusSettles() {
        return ui::WaitFor([&] { return !connect_->following(); }, 20000);
    }

    std::unique_ptr<frmMain_IP> connect_;
};

TEST_F(FollowCamera, ToItsNewAddress) {
    auto camera = StartCamera(11);
    QWidget* form = Connect(*camera);
    ASSERT_TRUE(form);
    const QString moved = QString::fromStdString(kest::sim::FreeLoopbackAddress(4000));
    SetRow(form, "txtIP", moved);
    ui::Click(form, "cmdOK");
    EXPECT_EQ(TakeMessages(), std::vector<int>{108});
    // Back at the connect dialog at once, with the new address in its boxes.
    EXPECT_TRUE(connect_->isVisible());
    EXPECT_EQ(Find<QLineEdit>(connect_.get(), "txtIP_3")->text(), moved.split('.')[3]);
    EXPECT_TRUE(connect_->following());
    EXPECT_TRUE(Find(connect_.get(), "cmdFollowStop")->isVisible());
    ASSERT_TRUE(StatusSettles());
    EXPECT_EQ(QString::fromStdString(camera->address()), moved);
    EXPECT_EQ(connect_->statusText(), Own(7).arg(moved));
    EXPECT_TRUE(TakeMessages().empty());  // status text, no message box
    ui::SavePicture(connect_.get(), PictureFolder(), "frmMain_IP_followed");
}

TEST_F(FollowCamera, NamesAMaskTheCameraDidNotApply) {
    auto camera = StartCamera(11);
    // A camera that keeps its old mask whatever it is told.
    camera->Wrap(CommandCode("scmd_set_subnet_mask"),
                 [](kest::sim::Simulator&, const kest::sim::Request&, kest::sim::Response& r,
                    const kest::sim::Handler&) { r.status = 0; });
    QWidget* form = Connect(*camera);
    ASSERT_TRUE(form);
    SetRow(form, "txtSub", "255.255.255.0");
    ui::Click(form, "cmdOK");
    ASSERT_TRUE(StatusSettles());
    const QString address = QString::fromStdString(camera->address());
    EXPECT_EQ(connect_->statusText(), Own(10).arg(address, Own(11), "255.0.0.0", "255.255.255.0"));
}

TEST_F(FollowCamera, OffersTheSearchForDhcpAndCanBeStopped) {
    auto camera = StartCamera(11);
    QWidget* form = Connect(*camera);
    ASSERT_TRUE(form);
    ui::Click(form, "OptDHCP");
    ui::Click(form, "cmdOK");
    EXPECT_EQ(connect_->statusText(), Own(9));
    EXPECT_FALSE(connect_->following());

    // A camera that moves away and never answers: the installer stops waiting.
    form = Connect(*camera);
    ASSERT_TRUE(form);
    ui::Click(form, "OptDHCP_OFF");
    camera->Wrap(CommandCode("scmd_reset_camera"),
                 [](kest::sim::Simulator& s, const kest::sim::Request& q, kest::sim::Response& r,
                    const kest::sim::Handler& previous) {
                     previous(s, q, r);
                     // After the restart it answers nothing more.
                     r.after_reply = [restart = r.after_reply](kest::sim::Simulator& after) {
                         if (restart) restart(after);
                         after.DropNextReplies(1 << 20);
                     };
                 });
    SetRow(form, "txtSub", "255.255.0.0");
    ui::Click(form, "cmdOK");
    EXPECT_TRUE(connect_->following());
    ui::WaitFor([] { return false; }, 300);
    ui::Click(connect_.get(), "cmdFollowStop");
    EXPECT_FALSE(connect_->following());
    EXPECT_EQ(connect_->statusText(), Own(15));
}

}  // namespace
}  // namespace kestcfg::test
