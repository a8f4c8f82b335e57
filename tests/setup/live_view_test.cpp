// The live view, its detection settings and the reference picture, against
// a simulated model-11 camera that streams pictures: areas picked with the
// mouse and the keyboard as the camera holds them afterwards, the ends of
// the stream and what each does, the entries held to their ranges, and the
// windows closing together.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "control/facade/events.h"
#include "platform/profile.h"
#include "setup/Global.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "setup/frmRefer_View.h"
#include "setup/frmSub_MotionDetection.h"
#include "setup/frmView.h"
#include "sim/imaging.h"
#include "sim/memory_card.h"
#include "sim/stream.h"
#include "tests/setup/detection_test_support.h"
#include "widget/kest_widget.h"

namespace kestcfg::test {
namespace {

using kest::sim::ImagingState;
using kest::sim::StreamState;
using ui::Find;

constexpr int kWait = 5000;

class LiveView : public CameraTest {
  protected:
    void TearDown() override {
        if (view_) view_->close();
        CameraTest::TearDown();
    }
    // Opens the live view and waits for its pictures.
    frmView* Open() {
        view_ = new frmView();
        view_->setRestartPause(20);
        view_->show();
        QApplication::setActiveWindow(view_);
        connect_pictures();
        EXPECT_TRUE(WaitForPictures(2));
        return view_;
    }
    void connect_pictures() {
        QObject::connect(view_->viewControl(), &kest::qt::KestWidget::newImage, view_,
                         [this] { ++pictures_; });
    }
    bool WaitForPictures(int more) {
        const int until = pictures_ + more;
        return ui::WaitFor([&] { return pictures_ >= until; }, kWait);
    }
    kest::qt::KestWidget* View() { return view_->viewControl(); }
    std::array<uint8_t, 40> Areas() {
        return WithState<ImagingState>([](ImagingState& s) { return s.areas; });
    }
    static bool Selected(const std::array<uint8_t, 40>& areas, int n) {
        return (areas[size_t(n / 8)] >> (n % 8)) & 1;
    }
    // The middle of a lattice cell of a 640 x 480 picture.
    static QPoint Cell(int column, int row) { return {column * 32 + 16, row * 32 + 16}; }
    void Fire(int code) {
        View()->control().FireEvent(kest::EventId::EndDownloading, {kest::Variant::I2(code)});
    }
    size_t Starts() { return camera_->ReceivedCount(CommandCode("scmd_get_capt_speed")); }

    QPointer<frmView> view_;
    int pictures_ = 0;
};

TEST_F(LiveView, ShowsThePictureWithTheLatticeAndTheSelectedAreas) {
    // Areas 0, 21 and 299 are selected in the camera.
    WithState<ImagingState>([](ImagingState& s) {
        s.areas[0] = 0x01;
        s.areas[2] = 0x20;
        s.areas[37] = 0x08;
    });
    Open();
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(view_->windowTitle(), Lang("SUB_MOTIONDETECTION_A", "11"));
    EXPECT_EQ(Find<QPushButton>(view_, "cmdDetail")->text(), Lang("SUB_MOTIONDETECTION_A", "10"));
    EXPECT_EQ(Find<QPushButton>(view_, "cmdCancel")->text(), Lang("BUTTON_A", "6"));
    // The control has exactly the picture's size, so the lattice covers it.
    EXPECT_EQ(View()->size(), QSize(640, 480));
    const QImage shown = View()->grab().toImage();
    const auto colour = [&](int x, int y) { return shown.pixelColor(x, y).rgb() & 0xFFFFFF; };
    const QRgb lattice = qRgb(128, 128, 128) & 0xFFFFFF, setting = qRgb(255, 255, 0) & 0xFFFFFF;
    EXPECT_EQ(colour(32, 100), lattice);   // a vertical line
    EXPECT_EQ(colour(100, 32), lattice);   // a horizontal line
    EXPECT_EQ(colour(1, 1), setting);      // area 0
    EXPECT_EQ(colour(33, 33), setting);    // area 21: column 1, row 1
    EXPECT_EQ(colour(609, 449), setting);  // area 299
    EXPECT_NE(colour(65, 1), setting);     // area 2 is not selected
    ui::SavePicture(view_, PictureFolder(), "frmView_live");
}

TEST_F(LiveView, ALeftDragSelectsTheAreasItCrossesAndARightDragClearsThem) {
    Open();
    // Left press in column 2 of row 3, one move to column 7: the areas in
    // between are selected too.
    SendMouse(View(), QEvent::MouseButtonPress, Cell(2, 3), Qt::LeftButton, Qt::LeftButton);
    SendMouse(View(), QEvent::MouseMove, Cell(7, 3), Qt::NoButton, Qt::LeftButton);
    SendMouse(View(), QEvent::MouseButtonRelease, Cell(7, 3), Qt::LeftButton, Qt::NoButton);
    // Then a right drag from column 4 to column 5 clears two of them.
    SendMouse(View(), QEvent::MouseButtonPress, Cell(4, 3), Qt::RightButton, Qt::RightButton);
    SendMouse(View(), QEvent::MouseMove, Cell(5, 3), Qt::NoButton, Qt::RightButton);
    SendMouse(View(), QEvent::MouseButtonRelease, Cell(5, 3), Qt::RightButton, Qt::NoButton);
    // A move without a button, and the middle button, change nothing.
    SendMouse(View(), QEvent::MouseMove, Cell(9, 9), Qt::NoButton, Qt::NoButton);
    SendMouse(View(), QEvent::MouseButtonPress, Cell(10, 10), Qt::MiddleButton, Qt::MiddleButton);
    const auto areas = Areas();
    for (int n = 0; n < frmView::kAreas; ++n) {
        const bool expected = n == 62 || n == 63 || n == 66 || n == 67;
        EXPECT_EQ(Selected(areas, n), expected) << "area " << n;
    }
    EXPECT_TRUE(TakeMessages().empty());
    // The camera shows them in its next pictures.
    ASSERT_TRUE(WaitForPictures(3));
    ui::SavePicture(view_, PictureFolder(), "frmView_areas_picked");
}

TEST_F(LiveView, AnUpsideDownPictureShowsAreaNWhereArea299MinusNWouldBe) {
    WithState<ImagingState>([](ImagingState& s) { s.registers[7] = 1; });
    Open();
    EXPECT_EQ(view_->AreaAt(Cell(0, 0)), 299);
    EXPECT_EQ(view_->AreaAt(Cell(19, 14)), 0);
    EXPECT_EQ(view_->AreaAt({-1, 5}), -1);
    EXPECT_EQ(view_->AreaAt({640, 5}), -1);
    SendMouse(View(), QEvent::MouseButtonPress, Cell(1, 0), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(Selected(Areas(), 298));
    EXPECT_FALSE(Selected(Areas(), 1));
}

TEST_F(LiveView, TheKeyboardMovesACellAndSpaceSelectsOrClearsIt) {
    Open();
    View()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(ui::WaitFor([&] { return View()->hasFocus(); }, kWait));
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down,
                        Qt::Key_Left, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(View(), key);
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_TRUE(Selected(Areas(), 2 * 20 + 2));
    ui::SavePicture(view_, PictureFolder(), "frmView_keyboard_cell");
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_FALSE(Selected(Areas(), 2 * 20 + 2));
    // The cell stays on the lattice.
    for (int i = 0; i < 25; ++i)
        QTest::keyClick(View(), Qt::Key_Up);
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_TRUE(Selected(Areas(), 2));
    EXPECT_TRUE(view_->isVisible());  // Space and arrows are not the dialog's
}

// Ends the control reports for codes the simulated camera does not send:
// each restarts the stream with one StartDownloading.
TEST_F(LiveView, EndCodesZeroToTwoStartTheStreamAgain) {
    Open();
    for (int code : {0, 1, 2}) {
        SCOPED_TRACE(code);
        view_->StopStream();
        ui::WaitFor([] { return false; }, 50);  // its end, 101, is passed over
        const size_t before = Starts();
        Fire(code);
        EXPECT_EQ(Starts(), before + 1);
        EXPECT_TRUE(WaitForPictures(2));
        EXPECT_FALSE(Find(view_, "lblNoPicture")->isVisible());
    }
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(LiveView, ARestartStopsAfterTenFailedStarts) {
    Open();
    view_->StopStream();
    ui::WaitFor([] { return false; }, 50);
    // The camera refuses the frame-rate read: every start fails.
    WithState<ImagingState>([](ImagingState& s) { s.forced[118] = 1; });
    const size_t before = Starts();
    Fire(0);
    EXPECT_TRUE(Find(view_, "lblNoPicture")->isVisible());
    EXPECT_TRUE(Find<QLabel>(view_, "lblNoPicture")->text().contains("10"));
    ui::SavePicture(view_, PictureFolder(), "frmView_restarting");
    ASSERT_TRUE(ui::WaitFor([&] { return Starts() >= before + 10; }, kWait));
    ui::WaitFor([] { return false; }, 200);
    EXPECT_EQ(Starts(), before + 10);
    EXPECT_EQ(Find<QLabel>(view_, "lblNoPicture")->text(), Lang("KESTCFG_A", "22"));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(view_->isVisible());
}

TEST_F(LiveView, ACameraAnsweringStatus4IsAskedAgainUntilPicturesCome) {
    Open();
    const uint16_t startCode = CommandCode("scmd_get_passwd_enable");
    const size_t before = camera_->ReceivedCount(startCode);
    WithState<StreamState>([](StreamState& s) { s.forced_status = 4; });
    ASSERT_TRUE(
        ui::WaitFor([&] { return camera_->ReceivedCount(startCode) >= before + 2; }, kWait));
    WithState<StreamState>([](StreamState& s) { s.forced_status = -1; });
    EXPECT_TRUE(WaitForPictures(3));
    EXPECT_TRUE(ui::WaitFor([&] { return !Find(view_, "lblNoPicture")->isVisible(); }, kWait));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(LiveView, ARefusedPictureShows207AndTheViewStays) {
    Open();
    WithState<StreamState>([](StreamState& s) { s.forced_status = 3; });
    ASSERT_TRUE(ui::WaitFor([&] { return !MessageService::shown().isEmpty(); }, kWait));
    EXPECT_EQ(TakeMessages(), std::vector<int>{207});
    EXPECT_TRUE(view_->isVisible());
}

TEST_F(LiveView, AStreamThatCannotGoOnShows301AndTheViewCloses) {
    struct Row {
        const char* what;
        void (*fault)(StreamState&);
    };
    const Row rows[] = {
        {"MPEG mode (6)", [](StreamState& s) { s.mpeg_mode = true; }},
        {"camera lost (10)", [](StreamState& s) { s.stop_after_frames = 0; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WithState<StreamState>([](StreamState& s) {
            s.mpeg_mode = false;
            s.stop_after_frames = -1;
        });
        Open();
        WithState<StreamState>(row.fault);
        ASSERT_TRUE(ui::WaitFor([&] { return !view_; }, kWait));
        EXPECT_EQ(TakeMessages(), std::vector<int>{301});
    }
}

TEST_F(LiveView, CodesBeyond100AreNotActedOn) {
    Open();
    const size_t before = Starts();
    for (int code : {101, 200, -1})
        Fire(code);
    ui::WaitFor([] { return false; }, 50);
    EXPECT_EQ(Starts(), before);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(view_->isVisible());
}

class DetectionSettings : public LiveView {
  protected:
    void SetUp() override {
        LiveView::SetUp();
        WithState<ImagingState>([](ImagingState& s) {
            s.area_y = 40, s.area_percent = 50, s.area_diff_average = 60;
            s.motion_detect = 1, s.update_sec = 10, s.detect_sec = 5, s.mask = 0;
        });
        Open();
        camera_->ClearReceived();
        ui::Click(view_, "cmdDetail");
        dialog_ = view_->detailDialog();
        ASSERT_TRUE(dialog_);
        ASSERT_TRUE(dialog_->isVisible());
        QApplication::setActiveWindow(dialog_);
    }
    size_t AreaSends() { return camera_->ReceivedCount(CommandCode("scmd_set_area_detail_info")); }
    size_t MotionSends() {
        return camera_->ReceivedCount(CommandCode("scmd_set_motion_detect_info"));
    }
    std::array<int, 7> CameraValues() {
        return WithState<ImagingState>([](ImagingState& s) {
            return std::array<int, 7>{s.area_y,        s.area_percent, s.area_diff_average,
                                      s.motion_detect, s.update_sec,   s.detect_sec,
                                      s.mask};
        });
    }

    QPointer<frmSub_MotionDetection> dialog_;
};

TEST_F(DetectionSettings, ShowsTheCamerasValuesAndSendsNothingWhileLoading) {
    EXPECT_EQ(AreaSends(), 0u);
    EXPECT_EQ(MotionSends(), 0u);
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtThreshold")->text(), "40");
    EXPECT_EQ(Find<QSlider>(dialog_, "sldPercent")->value(), 50);
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtNoiseFilter")->text(), "60");
    EXPECT_TRUE(Find<QCheckBox>(dialog_, "chkMotionDetection")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtReload")->text(), "10");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtDistinct")->text(), "5");
    EXPECT_EQ(dialog_->windowTitle(), Lang("SUB_MOTIONDETECTION_A", "1"));
    EXPECT_TRUE(TakeMessages().empty());
    ui::SavePicture(dialog_, PictureFolder(), "frmSub_MotionDetection_live");
}

TEST_F(DetectionSettings, EntriesAreHeldToTheirRangesInTheBoxAndMoveTheSliders) {
    struct Row {
        const char* box;
        const char* slider;
        const char* typed;
        const char* shown;
        int sent;  // index into CameraValues
    };
    const Row rows[] = {
        {"txtThreshold", "sldThreshold", "300", "255", 0},
        {"txtPercent", "sldPercent", "0", "1", 1},
        {"txtPercent", "sldPercent", "100", "100", 1},
        {"txtNoiseFilter", "sldNoiseFilter", "999", "255", 2},
        {"txtReload", nullptr, "256", "255", 4},
        {"txtDistinct", nullptr, "", "0", 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.box) + " " + row.typed);
        auto* box = Find<QLineEdit>(dialog_, row.box);
        ui::Type(box, row.typed);
        // Below the minimum (or empty) is corrected when the box is left.
        box->clearFocus();
        EXPECT_EQ(box->text(), row.shown);
        if (row.slider) {
            EXPECT_EQ(Find<QSlider>(dialog_, row.slider)->value(), QString(row.shown).toInt());
        }
        EXPECT_EQ(CameraValues()[size_t(row.sent)], QString(row.shown).toInt());
    }
    // Letters are not taken.
    auto* box = Find<QLineEdit>(dialog_, "txtThreshold");
    ui::Type(box, "1x2");
    EXPECT_EQ(box->text(), "12");
}

TEST_F(DetectionSettings, EveryChangeOfASliderSendsTheAreaValuesOnce) {
    auto* slider = Find<QSlider>(dialog_, "sldThreshold");
    slider->setValue(100);
    EXPECT_EQ(AreaSends(), 1u);
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtThreshold")->text(), "100");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(AreaSends(), 2u);
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtThreshold")->text(), "101");
    EXPECT_EQ(CameraValues()[0], 101);
    EXPECT_EQ(MotionSends(), 0u);
    ui::Click(dialog_, "chkMask");
    EXPECT_EQ(MotionSends(), 1u);
    EXPECT_EQ(CameraValues()[6], 1);
}

TEST_F(DetectionSettings, CancelSendsTheValuesReadAtOpeningOkKeepsTheNewOnes) {
    const auto before = CameraValues();
    Find<QSlider>(dialog_, "sldThreshold")->setValue(200);
    Find<QSlider>(dialog_, "sldPercent")->setValue(9);
    ui::Type(Find(dialog_, "txtReload"), "99");
    ui::Click(dialog_, "chkMotionDetection");
    ASSERT_NE(CameraValues(), before);
    ui::Click(dialog_, "cmdCancel");
    EXPECT_EQ(CameraValues(), before);
    EXPECT_TRUE(ui::WaitFor([&] { return !dialog_; }, kWait));
    // The live view stays, with its pictures.
    EXPECT_TRUE(view_->isVisible());
    EXPECT_TRUE(WaitForPictures(2));

    ui::Click(view_, "cmdDetail");
    dialog_ = view_->detailDialog();
    Find<QSlider>(dialog_, "sldNoiseFilter")->setValue(7);
    ui::Click(dialog_, "cmdOK");
    EXPECT_EQ(CameraValues()[2], 7);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(DetectionSettings, ReloadTakesTheBaseAgainOnTheLiveViewsControl) {
    const int before = WithState<ImagingState>([](ImagingState& s) { return s.update_base_count; });
    ui::Click(dialog_, "cmdReload");
    EXPECT_EQ(WithState<ImagingState>([](ImagingState& s) { return s.update_base_count; }),
              before + 1);
}

TEST_F(DetectionSettings, AReloadOfTheReferencePictureLeavesTheLiveViewOpen) {
    QString file;
    bool shown = false;
    ui::WhenShown("frmRefer_View", [&](QWidget* form) {
        ASSERT_TRUE(form);
        auto* refer = qobject_cast<frmRefer_View*>(form);
        file = refer->referenceFile();
        const int fetched = WithState<kest::sim::MemoryCardState>([](auto& s) { return s.starts; });
        ui::Click(form, "cmdReload");
        EXPECT_GT(WithState<kest::sim::MemoryCardState>([](auto& s) { return s.starts; }), fetched);
        shown = QFileInfo::exists(file) && !Find(form, "lblStatus")->isVisible();
        EXPECT_EQ(form->windowTitle(), Lang("SUB_REFERENCE_A", "1"));
        ui::SavePicture(form, PictureFolder(), "frmRefer_View_live");
        ui::Click(form, "cmd_Close");
    });
    ui::Click(dialog_, "cmdReference");
    EXPECT_TRUE(shown);
    // A folder of the tool's own, gone with the form.
    EXPECT_TRUE(file.startsWith(QDir::tempPath()));
    EXPECT_FALSE(file.startsWith(QDir::currentPath() + "/Reference"));
    EXPECT_FALSE(QFileInfo::exists(file));
    // The stops the reloads asked for (101) closed nothing.
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(view_->isVisible());
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_TRUE(WaitForPictures(2));
}

TEST_F(DetectionSettings, TheReloadIntervalIsHeldTo60SecondsAndStoredInMilliseconds) {
    struct Row {
        const char* typed;
        const char* shown;
        const char* stored;
    };
    const Row rows[] = {
        {"61", "60", "60000"}, {"0", "1", "1000"}, {"", "1", "1000"}, {"15", "15", "15000"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        kest::platform::WriteProfileString(settings_path().toStdString(), "SetUpTool",
                                           "ReloadInterval", "5000");
        kest::platform::WriteProfileString(settings_path().toStdString(), "SetUpTool", "AutoReload",
                                           "0");
        QString shownText, before;
        ui::WhenShown("frmRefer_View", [&](QWidget* form) {
            ASSERT_TRUE(form);
            QApplication::setActiveWindow(form);
            auto* box = Find<QLineEdit>(form, "txtInterval");
            before = box->text();
            EXPECT_FALSE(box->isEnabled());
            ui::Click(form, "chkAuto_Reload");
            EXPECT_TRUE(box->isEnabled());
            EXPECT_FALSE(Find(form, "cmdReload")->isEnabled());
            ui::Type(box, row.typed);
            // Enter corrects the box and closes the form.
            QTest::keyClick(box, Qt::Key_Return);
            shownText = box->text();
        });
        ui::Click(dialog_, "cmdReference");
        EXPECT_EQ(before, "5");
        EXPECT_EQ(shownText, row.shown);
        EXPECT_EQ(kest::platform::GetProfileString(settings_path().toStdString(), "SetUpTool",
                                                   "ReloadInterval", ""),
                  row.stored);
        EXPECT_EQ(kest::platform::GetProfileString(settings_path().toStdString(), "SetUpTool",
                                                   "AutoReload", ""),
                  "1");
    }
}

// From the main settings form, as an installer goes: the live view, its
// settings and the reference picture, then the live view closed while the
// reference picture is open.
TEST_F(LiveView, ClosingTheLiveViewClosesItsDialogsAndShowsTheMainSettingsForm) {
    frmMain_IP connect;
    connect.show();
    ASSERT_TRUE(connect.fillAddress(Global::CameraAddress));
    ui::Click(&connect, "cmdOK");
    QWidget* setting = ui::WaitForWindow("frmMain_Setting_Marten", kWait);
    ASSERT_TRUE(setting);
    ASSERT_TRUE(ui::Click(setting, "cmdMotionDetection"));
    view_ = qobject_cast<frmView*>(ui::WaitForWindow("frmView", kWait));
    ASSERT_TRUE(view_);
    EXPECT_FALSE(setting->isVisible());
    connect_pictures();
    ASSERT_TRUE(WaitForPictures(2));
    ui::Click(view_, "cmdDetail");
    QPointer<QWidget> detail = view_->detailDialog();
    QPointer<QWidget> refer;
    ui::WhenShown("frmRefer_View", [&](QWidget* form) {
        refer = form;
        ASSERT_TRUE(form);
        view_->close();
    });
    ui::Click(detail, "cmdReference");
    ui::WaitFor([&] { return !view_ && !detail && !refer; }, kWait);
    EXPECT_FALSE(view_);
    EXPECT_FALSE(detail);
    EXPECT_FALSE(refer);
    EXPECT_TRUE(setting->isVisible());
    EXPECT_TRUE(TakeMessages().empty());
    setting->close();
}

}  // namespace
}  // namespace kestcfg::test
