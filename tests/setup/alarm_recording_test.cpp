// The alarm dialog and its recipient list, the recording dialog and the two
// capacity dialogs against a simulated model-11 camera: what the camera
// holds after each, the entries refused or corrected, the boxes shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <set>

#include "include/kest_records.h"
#include "setup/CardCapacity.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmAlmSet.h"
#include "setup/frmList.h"
#include "setup/frmSub_CFinfo.h"
#include "setup/frmSub_Memory_Info.h"
#include "setup/frmSub_Recording.h"
#include "sim/alarms.h"
#include "sim/imaging.h"
#include "sim/services.h"
#include "tests/setup/detection_test_support.h"

namespace kestcfg::test {
namespace {

using kest::sim::AlarmState;
using kest::sim::ImagingState;
using kest::sim::ServicesState;
using ui::Find;

constexpr int kWait = 5000;

// A record of 16-bit words, as the camera keeps it.
std::array<uint8_t, 36> Words(std::initializer_list<int> words) {
    std::array<uint8_t, 36> bytes{};
    size_t i = 0;
    for (int w : words) {
        bytes[i++] = uint8_t(w);
        bytes[i++] = uint8_t(w >> 8);
    }
    return bytes;
}

void Check(QWidget* form, const char* name, bool on) {
    auto* b = Find<QAbstractButton>(form, name);
    ASSERT_TRUE(b) << name;
    b->setChecked(on);
}

class AlarmDialog : public CameraTest {
  protected:
    frmAlmSet* Open() {
        dialog_ = new frmAlmSet();
        dialog_->show();
        QApplication::setActiveWindow(dialog_);
        return dialog_;
    }
    std::array<uint8_t, 36> Setting() {
        return WithState<AlarmState>([](AlarmState& s) { return s.setting; });
    }
    std::vector<uint16_t> Writes() {
        std::vector<uint16_t> codes;
        const std::set<uint16_t> writes = {2305, 2306, CommandCode("scmd_set_motion_detect_action"),
                                           CommandCode("scmd_set_motion_detect_info")};
        for (const auto& d : camera_->Received())
            if (writes.count(d.code())) codes.push_back(d.code());
        return codes;
    }

    QPointer<frmAlmSet> dialog_;
};

TEST_F(AlarmDialog, TheRecordTheCameraReceivesFollowsTheWordTable) {
    WithState<AlarmState>([](AlarmState& s) {
        s.setting.fill(0);
        s.setting[34] = 0xAB, s.setting[35] = 0x0C;  // word 17: not the dialog's
        s.count = 1;
    });
    WithState<ImagingState>([](ImagingState& s) {
        s.motion_detect = 0, s.update_sec = 33, s.detect_sec = 7, s.mask = 1;
        s.alarm_out = 1, s.position = 4, s.start_ftp = 0;
    });
    Open();
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(dialog_->windowTitle(), Lang("SUB_ALARM_A", "1"));
    EXPECT_EQ(Find<QPushButton>(dialog_, "Command1")->text(), Lang("BUTTON_H", "4"));
    EXPECT_EQ(Find<QPushButton>(dialog_, "cmdCancel")->text(), Lang("BUTTON_H", "2"));
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtTimes")->text(), "1");
    auto* d = dialog_.data();
    // Input 1 on: drive the output, go to preset 3.
    Check(d, "opAlm1Enbl", true);
    Check(d, "ckAlarmOut_0", true);
    Check(d, "ckAlarmPos_0", true);
    ui::Type(Find(d, "txtAlarmPos_0"), "3");
    // Input 2 off, with a position ticked: the position still goes in.
    Check(d, "opAlm2Enbl", true);
    Check(d, "ckAlarmPos_1", true);
    ui::Type(Find(d, "txtAlarmPos_1"), "9");  // beyond the presets: 6
    EXPECT_EQ(Find<QLineEdit>(d, "txtAlarmPos_1")->text(), "6");
    Check(d, "opAlm2Unenbl", true);
    // The output on, active high, 1500 ms, inactive at start.
    Check(d, "opOutEnbl", true);
    Check(d, "opOutH", true);
    ui::Type(Find(d, "txtOut"), "1500");
    Check(d, "opOutNotini", true);
    // The combined input: input 2 first, within 2 min 5 s, driving the output.
    Check(d, "ckDual", true);
    auto* first = Find<QComboBox>(d, "cmbDual1");
    first->setCurrentIndex(1);
    emit first->activated(1);
    EXPECT_EQ(Find<QComboBox>(d, "cmbDual2")->currentIndex(), 0);
    ui::Type(Find(d, "txtMinute"), "2");
    ui::Type(Find(d, "txtSecond"), "5");
    Check(d, "ckAlarmOut_2", true);
    // Repeat count 2; the motion alarm on, uploading by FTP (message 402).
    ui::Type(Find(d, "txtTimes"), "2");
    Check(d, "optMotionAlarmEnbl", true);
    ui::Click(d, "chkFTPUpload");
    EXPECT_EQ(TakeMessages(), std::vector<int>{402});
    ui::SavePicture(d, PictureFolder(), "frmAlmSet_live");

    camera_->ClearReceived();
    ui::Click(d, "Command1");
    EXPECT_TRUE(TakeMessages().empty());
    //                               input 1     input 2    output            combined
    EXPECT_EQ(Setting(), Words({1, 1, 3, 1, 0, 0, 6, 0, 2, 1, 1500, 0, 1, 1, 125, 0, 1, 0x0CAB}));
    EXPECT_EQ(WithState<AlarmState>([](AlarmState& s) { return s.count; }), 2);
    // The motion values: only the alarm option and the FTP upload are the dialog's.
    EXPECT_EQ(WithState<ImagingState>([](ImagingState& s) {
                  return std::array<int, 7>{s.motion_detect, s.update_sec, s.detect_sec, s.mask,
                                            s.alarm_out,     s.position,   s.start_ftp};
              }),
              (std::array<int, 7>{1, 33, 7, 1, 1, 4, 1}));
    // In this order.
    EXPECT_EQ(Writes(),
              (std::vector<uint16_t>{2305, 2306, CommandCode("scmd_set_motion_detect_action"),
                                     CommandCode("scmd_set_motion_detect_info")}));
    EXPECT_TRUE(ui::WaitFor([&] { return !dialog_; }, kWait));

    // Read back, the same record goes out again unchanged.
    const auto written = Setting();
    Open();
    EXPECT_TRUE(Find<QCheckBox>(dialog_, "ckAlarmPos_1")->isChecked());
    EXPECT_EQ(Find<QComboBox>(dialog_, "cmbDual1")->currentIndex(), 1);
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtMinute")->text(), "2");
    WithState<AlarmState>([](AlarmState& s) { s.setting.fill(0); });
    ui::Click(dialog_, "Command1");
    EXPECT_EQ(Setting(), written);
}

TEST_F(AlarmDialog, RepeatCountAndOnTimeOutsideTheirRangesAreRefused) {
    struct Row {
        const char* times;
        const char* out;
        const char* key;  // of the error box; null: accepted
    };
    const Row rows[] = {
        {"4", "100", "29"}, {"0", "100", "29"},   {"", "100", "29"},      {"3", "5001", "30"},
        {"1", "", "30"},    {"3", "99999", "30"}, {"1", "5000", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.times) + " / " + row.out);
        Open();
        camera_->ClearReceived();
        ui::Type(Find(dialog_, "txtTimes"), row.times);
        ui::Type(Find(dialog_, "txtOut"), row.out);
        ui::Click(dialog_, "Command1");
        const QList<ShownMessage> shown = MessageService::takeShown();
        if (!row.key) {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_EQ(Writes().size(), 4u);
            EXPECT_TRUE(ui::WaitFor([&] { return !dialog_; }, kWait));
            continue;
        }
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].spec.text, Lang("SUB_ALARM_A", row.key));
        EXPECT_EQ(shown[0].spec.title, Lang("TITLE_SETUP", "1"));
        EXPECT_EQ(shown[0].spec.icon, QMessageBox::Critical);
        EXPECT_TRUE(Writes().empty());
        EXPECT_TRUE(dialog_->isVisible());
        dialog_->close();
    }
}

TEST_F(AlarmDialog, AFailingWriteShowsItsBoxAndTheDialogStays) {
    struct Row {
        int status;
        const char* section;
        const char* key;
    };
    // Status 1: refused (result 2); status 2: an argument refused (result 100).
    const Row rows[] = {{1, "System Error Msg", "-2"}, {2, "SUB_ALARM_A", "31"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        WithState<AlarmState>([](AlarmState& s) { s.forced_status = -1; });
        Open();
        WithState<AlarmState>([&](AlarmState& s) { s.forced_status = row.status; });
        ui::Type(Find(dialog_, "txtTimes"), "1");
        ui::Click(dialog_, "Command1");
        const QList<ShownMessage> shown = MessageService::takeShown();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].spec.text, Lang(row.section, row.key));
        EXPECT_TRUE(dialog_->isVisible());
        dialog_->close();
    }
}

TEST_F(AlarmDialog, OptionsSwitchTheControlsThatDependOnThem) {
    Open();
    auto* d = dialog_.data();
    Check(d, "opOutEnbl", true);
    Check(d, "opAlm1Enbl", true);
    Check(d, "ckAlarmPos_0", false);
    EXPECT_TRUE(Find(d, "ckAlarmOut_0")->isEnabled());
    EXPECT_FALSE(Find(d, "scrlAlarmPos_0")->isEnabled());
    Check(d, "ckAlarmPos_0", true);
    EXPECT_TRUE(Find(d, "txtAlarmPos_0")->isEnabled());
    Check(d, "opAlm1Unenbl", true);
    EXPECT_FALSE(Find(d, "ckAlarmOut_0")->isEnabled());
    EXPECT_FALSE(Find(d, "txtAlarmPos_0")->isEnabled());
    Check(d, "opAlm1Enbl", true);
    Check(d, "opOutUnenbl", true);
    EXPECT_FALSE(Find(d, "ckAlarmOut_0")->isEnabled());
    EXPECT_FALSE(Find(d, "opOutH")->isEnabled());
    EXPECT_TRUE(Find(d, "txtOut")->isEnabled());
    Check(d, "ckDual", false);
    EXPECT_FALSE(Find(d, "cmbDual1")->isEnabled());
    EXPECT_FALSE(Find(d, "txtSecond")->isEnabled());
    Check(d, "optMotionAlarmUnenbl", true);
    EXPECT_FALSE(Find(d, "chkFTPUpload")->isEnabled());
}

TEST_F(AlarmDialog, TheOutputTestDrivesTheAlarmOutput) {
    Open();
    ui::Click(dialog_, "Command2");
    EXPECT_EQ(WithState<AlarmState>([](AlarmState& s) { return s.output; }), 1);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(AlarmDialog, ADeletedRecipientIsGoneFromTheCamerasList) {
    WithState<AlarmState>([](AlarmState& s) {
        s.recipients = {{0x7F000005, 5000}, {0x7F000006, 40000}, {0x7F000007, 6000}};
    });
    Open();
    QStringList lines, after;
    ui::WhenShown("frmList", [&](QWidget* list) {
        ASSERT_TRUE(list);
        EXPECT_EQ(list->windowTitle(), Lang("SUB_LIST_A", "1"));
        auto* rows = Find<QListWidget>(list, "List1");
        for (int i = 0; i < rows->count(); ++i)
            lines << rows->item(i)->text();
        EXPECT_FALSE(Find(list, "Command2")->isEnabled());
        ui::SavePicture(list, PictureFolder(), "frmList_live");
        rows->setCurrentRow(1);
        // No keeps it.
        MessageService::setNextAnswer(QMessageBox::No);
        ui::Click(list, "Command2");
        EXPECT_EQ(rows->count(), 3);
        MessageService::setNextAnswer(QMessageBox::Yes);
        ui::Click(list, "Command2");
        for (int i = 0; i < rows->count(); ++i)
            after << rows->item(i)->text();
        ui::Click(list, "Command1");
    });
    ui::Click(dialog_, "cmbList");
    EXPECT_EQ(lines, (QStringList{"127.0.0.5    5000", "127.0.0.6    40000", "127.0.0.7    6000"}));
    EXPECT_EQ(after, (QStringList{"127.0.0.5    5000", "127.0.0.7    6000"}));
    const auto recipients = WithState<AlarmState>([](AlarmState& s) { return s.recipients; });
    ASSERT_EQ(recipients.size(), 2u);
    EXPECT_EQ(recipients[1].ip, 0x7F000007u);
    const QList<ShownMessage> shown = MessageService::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].spec.text, Lang("SUB_LIST_A", "5"));
    EXPECT_EQ(shown[0].spec.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(AlarmDialog, AFailedDeleteShowsItsBoxAndTheListIsReadAgain) {
    struct Row {
        int status;
        const char* key;
    };
    for (const Row& row : {Row{1, "-2"}, Row{2, "-15"}}) {
        SCOPED_TRACE(row.status);
        WithState<AlarmState>([](AlarmState& s) {
            s.forced_status = -1;
            s.recipients = {{0x7F000005, 5000}};
        });
        Open();
        ui::WhenShown("frmList", [&](QWidget* list) {
            ASSERT_TRUE(list);
            Find<QListWidget>(list, "List1")->setCurrentRow(0);
            WithState<AlarmState>([&](AlarmState& s) { s.forced_status = row.status; });
            MessageService::setNextAnswer(QMessageBox::Yes);
            ui::Click(list, "Command2");
            ui::Click(list, "Command1");
        });
        camera_->ClearReceived();
        ui::Click(dialog_, "cmbList");
        const QList<ShownMessage> shown = MessageService::takeShown();
        ASSERT_GE(shown.size(), 2);
        EXPECT_EQ(shown[1].spec.text, Lang("System Error Msg", row.key));
        // Read again after the delete.
        EXPECT_EQ(camera_->ReceivedCount(2308), 2u);
        dialog_->close();
    }
}

TEST(AlarmList, RecordsAreTakenAsFarAsCountBufferAndCameraAllow) {
    QByteArray list(15 * kAlarmRecipientSize, '\0');
    for (int i = 0; i < 15; ++i) {
        list[i * 12] = char(127), list[i * 12 + 3] = char(i);
        list[i * 12 + 4] = char(0x88), list[i * 12 + 5] = char(0x13);  // 5000
    }
    EXPECT_EQ(ParseAlarmList(list, 2).size(), 2u);
    EXPECT_EQ(ParseAlarmList(list, 20).size(), 10u);  // the camera keeps 10
    EXPECT_EQ(ParseAlarmList(list.left(30), 5).size(), 2u);
    EXPECT_TRUE(ParseAlarmList(list, -3).empty());
    EXPECT_EQ(RecipientLine(ParseAlarmList(list, 2)[1]), "127.0.0.1    5000");
}

class RecordingDialog : public CameraTest {
  protected:
    frmSub_Recording* Open() {
        dialog_ = new frmSub_Recording();
        dialog_->show();
        QApplication::setActiveWindow(dialog_);
        return dialog_;
    }
    QPointer<frmSub_Recording> dialog_;
};

TEST_F(RecordingDialog, ValuesOutsideTheirRangesTakeTheNearestBoundInTheBox) {
    Open();
    struct Row {
        const char* box;
        const char* typed;
        const char* shown;
    };
    const Row rows[] = {
        {"txtTimelapse", "0", "1"},      {"txtTimelapse", "4000", "3600"},
        {"txtTimelapse", "", "1"},       {"txtBeforeTrigger", "45", "30"},
        {"txtAftertrigger", "99", "60"}, {"txtBefore", "500", "180"},
        {"txtBefore", "90", "90"},
    };
    Check(dialog_, "chkTimelapse", true);
    Check(dialog_, "opDelete", true);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.box) + " " + row.typed);
        auto* box = Find<QLineEdit>(dialog_, row.box);
        ui::Type(box, row.typed);
        box->clearFocus();
        EXPECT_EQ(box->text(), row.shown);
    }
    // Above the maximum is corrected at once, before the box is left.
    auto* box = Find<QLineEdit>(dialog_, "txtTimelapse");
    ui::Type(box, "4000");
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->text(), "3600");
}

TEST_F(RecordingDialog, ATriggerThatRecordsNoTimeGives310) {
    Open();
    Check(dialog_, "chkTrigger_Motion", true);
    ui::Type(Find(dialog_, "txtBeforeTrigger"), "0");
    ui::Type(Find(dialog_, "txtAftertrigger"), "0");
    camera_->ClearReceived();
    ui::Click(dialog_, "cmdApply");
    EXPECT_EQ(TakeMessages(), std::vector<int>{310});
    EXPECT_EQ(camera_->ReceivedCount(CommandCode("scmd_set_local_rec_info")), 0u);
    // With a time after the trigger it goes in.
    ui::Type(Find(dialog_, "txtAftertrigger"), "20");
    ui::Click(dialog_, "cmdApply");
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(WithState<ServicesState>([](ServicesState& s) { return s.trigger; }), 0x01000000);
    EXPECT_EQ(WithState<ServicesState>([](ServicesState& s) { return s.alarm_rec; }), 20 << 16);
}

// The timer schedule, as the record layout puts it, and every other record.
TEST_F(RecordingDialog, TheRecordsRoundTripThroughTheCamera) {
    Open();
    auto* d = dialog_.data();
    const auto row = [&](int i, bool on, int day, QTime start, QTime stop) {
        Check(d, qPrintable(QStringLiteral("chkTimer_%1").arg(i)), on);
        Find<QComboBox>(d, QStringLiteral("cmb_%1").arg(i))->setCurrentIndex(day);
        Find<QTimeEdit>(d, QStringLiteral("dtpStart_%1").arg(i))->setTime(start);
        Find<QTimeEdit>(d, QStringLiteral("dtpStop_%1").arg(i))->setTime(stop);
    };
    row(0, true, 2, QTime(8, 30), QTime(17, 45));  // Monday
    row(5, false, 7, QTime(1, 0), QTime(2, 0));    // Saturday, off
    row(14, true, 8, QTime(22, 0), QTime(6, 15));  // weekdays, past midnight
    EXPECT_FALSE(Find(d, "dtpStart_5")->isEnabled());
    EXPECT_TRUE(Find(d, "cmb_14")->isEnabled());
    Check(d, "chkTrigger_Alarm2", true);
    Check(d, "chkTrigger_Relay", true);
    ui::Type(Find(d, "txtBeforeTrigger"), "5");
    ui::Type(Find(d, "txtAftertrigger"), "30");
    Check(d, "chkChangeFPS_Timer", true);
    Find<QComboBox>(d, "cmbChangefps_Timer")->setCurrentIndex(4);  // 7 fps
    Check(d, "opDelete", true);
    ui::Type(Find(d, "txtBefore"), "14");
    Check(d, "chkTimelapse", true);
    ui::Type(Find(d, "txtTimelapse"), "600");
    Find<QTabWidget>(d, "tbRecording")->setCurrentIndex(1);
    ui::SavePicture(d, PictureFolder(), "frmSub_Recording_live_timer");
    Find<QTabWidget>(d, "tbRecording")->setCurrentIndex(0);
    ui::SavePicture(d, PictureFolder(), "frmSub_Recording_live");
    ASSERT_TRUE(ui::Click(d, "cmdOK"));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(ui::WaitFor([&] { return !dialog_; }, kWait));

    std::array<uint8_t, KEST_TIMERREC_SIZE> timer{};
    const auto put = [&timer](int offset, int width, int value) {
        for (int b = 0; b < width; ++b)
            timer[size_t(offset + b)] = uint8_t(value >> (8 * b));
    };
    // Row i at 12 i: enable (2), day (2), start and stop in minutes (4 each).
    put(0, 2, 1), put(2, 2, 2), put(4, 4, 8 * 60 + 30), put(8, 4, 17 * 60 + 45);
    put(60, 2, 0), put(62, 2, 7), put(64, 4, 60), put(68, 4, 120);
    put(168, 2, 1), put(170, 2, 8), put(172, 4, 22 * 60), put(176, 4, 6 * 60 + 15);
    const ServicesState held = WithState<ServicesState>([](ServicesState& s) { return s; });
    EXPECT_EQ(held.timer_rec, timer);
    EXPECT_EQ(held.trigger, 0x00010100);
    EXPECT_EQ(held.alarm_rec, 5 | 30 << 16);
    EXPECT_EQ(held.change_fps[0], 0u);
    EXPECT_EQ(held.change_fps[1], 1u | 4u << 16);  // on, 7 fps as the camera's index 4
    EXPECT_EQ(held.cf_full, 0 | 14 << 16);
    EXPECT_EQ(held.time_lapse, 1 | 600 << 16);

    // Read back, the dialog shows the schedule and writes the same bytes.
    Open();
    EXPECT_TRUE(Find<QCheckBox>(dialog_, "chkTimer_14")->isChecked());
    EXPECT_EQ(Find<QComboBox>(dialog_, "cmb_14")->currentIndex(), 8);
    EXPECT_EQ(Find<QTimeEdit>(dialog_, "dtpStop_14")->time(), QTime(6, 15));
    EXPECT_EQ(Find<QComboBox>(dialog_, "cmbChangefps_Timer")->currentText(), "7");
    WithState<ServicesState>([](ServicesState& s) { s.timer_rec.fill(0xEE); });
    ui::Click(dialog_, "chkTrigger_Motion");  // a change, so OK writes
    ui::Click(dialog_, "cmdOK");
    EXPECT_EQ(WithState<ServicesState>([](ServicesState& s) { return s.timer_rec; }), timer);
}

TEST_F(RecordingDialog, AFailedReadShows215AndLeavesOnlyCancel) {
    camera_->DropNextReplies(1000);
    Open();
    EXPECT_EQ(TakeMessages(), std::vector<int>{215});
    EXPECT_FALSE(Find(dialog_, "chkTimer_0")->isEnabled());
    EXPECT_FALSE(Find(dialog_, "cmdOK")->isEnabled());
    EXPECT_TRUE(Find(dialog_, "cmdCancel")->isEnabled());
}

class CapacityDialogs : public CameraTest {};

TEST_F(CapacityDialogs, ShowTotalAndFreeKilobytesOrMessage215) {
    for (const char* form : {"frmSub_CFinfo", "frmSub_Memory_Info"}) {
        SCOPED_TRACE(form);
        QPointer<QWidget> dialog;
        if (QString(form) == "frmSub_CFinfo") {
            dialog = new frmSub_CFinfo();
        } else {
            dialog = new frmSub_Memory_Info();
        }
        dialog->show();
        EXPECT_TRUE(TakeMessages().empty());
        EXPECT_EQ(Find<QLabel>(dialog, "lblTotalValue")->text(), "65536");
        EXPECT_EQ(Find<QLabel>(dialog, "lblFreeValue")->text(), "49152");
        EXPECT_EQ(Find<QProgressBar>(dialog, "barCapacity")->value(), 250);
        ui::SavePicture(dialog, PictureFolder(), QString(form) + "_live");
        ASSERT_TRUE(ui::Click(dialog, "cmdOK"));
        EXPECT_TRUE(ui::WaitFor([&] { return !dialog; }, kWait));
    }
    camera_->DropNextReplies(1000);
    frmSub_CFinfo failed;
    EXPECT_EQ(TakeMessages(), std::vector<int>{215});
    EXPECT_EQ(Find<QLabel>(&failed, "lblTotalValue")->text(), "");
    EXPECT_TRUE(Find(&failed, "cmdOK")->isEnabled());
}

TEST(CardCapacity, ValuesThatDoNotHoldTogetherAreNotShown) {
    QByteArray block(kCardBlockSize, '\0');
    const auto put = [&block](int offset, uint32_t v) {
        for (int b = 0; b < 4; ++b)
            block[offset + b] = char(v >> (8 * b));
    };
    put(kCardTotalOffset, 1000), put(kCardFreeOffset, 400);
    struct Row {
        int16_t result;
        int count;
        int size;
        bool read, present;
    };
    const Row rows[] = {
        {0, 1, kCardBlockSize, true, true},       {0, 2, kCardBlockSize, true, true},
        {0, 0, kCardBlockSize, true, false},      {0, 3, kCardBlockSize, false, false},
        {0, -1, kCardBlockSize, false, false},    {5, 1, kCardBlockSize, false, false},
        {0, 1, kCardBlockSize - 1, false, false},
    };
    for (const Row& row : rows) {
        const CardCapacity c = CardCapacityOf(row.result, row.count, block.left(row.size));
        EXPECT_EQ(c.read, row.read) << row.result << " " << row.count << " " << row.size;
        EXPECT_EQ(c.present, row.present) << row.count;
    }
    EXPECT_EQ(CardCapacityOf(0, 1, block).freeKb, 400u);
    put(kCardFreeOffset, 1001);  // more free than there is
    EXPECT_FALSE(CardCapacityOf(0, 1, block).read);
}

// The public table of record layouts: every record's fields tile it.
TEST(RecordLayouts, FieldsCoverEachRecordWithoutGapsOrOverlaps) {
    std::set<std::string> names;
    for (const kest_record_layout& layout : kest_record_layouts) {
        SCOPED_TRACE(layout.name);
        EXPECT_TRUE(names.insert(layout.name).second);
        std::set<std::string> fields;
        int end = 0;
        for (uint16_t i = 0; i < layout.field_count; ++i) {
            const kest_record_field& f = layout.fields[i];
            EXPECT_EQ(f.offset, end) << f.name;
            EXPECT_TRUE(fields.insert(f.name).second) << f.name;
            end = f.offset + f.width;
        }
        EXPECT_EQ(end, layout.size);
    }
    for (const char* name :
         {"AlarmSetting", "Trigger", "AlarmRec", "TimerRec", "ChangeFps", "CFFull", "TimeLapse"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    // AlarmSetting: word n at byte 2n.
    EXPECT_EQ(KEST_ALARMSETTING_OUTPUT_MODE, 16);
    EXPECT_EQ(KEST_ALARMSETTING_DUAL_ORDER, 26);
    EXPECT_EQ(KEST_TIMERREC_ROW14_STOP + 4, KEST_TIMERREC_SIZE);
}

}  // namespace
}  // namespace kestcfg::test
