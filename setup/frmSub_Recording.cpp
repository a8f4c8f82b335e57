#include "setup/frmSub_Recording.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <algorithm>

#include "include/kest_records.h"
#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/RangeBox.h"
#include "setup/RecordBytes.h"
#include "ui_frmSub_Recording.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

static_assert(frmSub_Recording::kTimerRows == KEST_TIMERREC_ROWS);

constexpr int kSizes[] = {KEST_TRIGGER_SIZE,   KEST_ALARMREC_SIZE, KEST_TIMERREC_SIZE,
                          KEST_CHANGEFPS_SIZE, KEST_CFFULL_SIZE,   KEST_TIMELAPSE_SIZE};
constexpr int kMinutesPerDay = 24 * 60;
// The first of the day-kind texts.
constexpr int kFirstDayKey = 28;

int RateIndex(int fps) {
    const auto& rates = frmSub_Recording::kFrameRates;
    const auto it = std::find(rates.begin(), rates.end(), fps);
    return it == rates.end() ? 0 : int(it - rates.begin());
}

QTime TimeOfMinute(int64_t minute) {
    const int m = int(std::clamp<int64_t>(minute, 0, kMinutesPerDay - 1));
    return QTime(m / 60, m % 60);
}

}  // namespace

frmSub_Recording::frmSub_Recording(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_Recording>()) {
    m_ui->setupUi(this);
    auto& u = *m_ui;
    m_before = new RangeBox(u.txtBeforeTrigger, 0, 30);
    m_after = new RangeBox(u.txtAftertrigger, 0, 60);
    m_deleteBefore = new RangeBox(u.txtBefore, 0, 180);
    m_timelapse = new RangeBox(u.txtTimelapse, 1, 3600);
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b))
            connect(b, &QAbstractButton::toggled, this, &frmSub_Recording::EnableDependents);
    }
    Form_Load();
}

frmSub_Recording::~frmSub_Recording() = default;

void frmSub_Recording::Form_Load() {
    auto& u = *m_ui;
    InitDialog(u.vn_Recording, QStringLiteral("SUB_RECORDING_A"));
    setWindowTitle(Key(1));
    u.tbRecording->setTabText(0, Key(2));
    u.tbRecording->setTabText(1, Key(3));
    u.frTrigger->setTitle(Key(7));
    u.chkTrigger_Alarm1->setText(Key(8));
    u.chkTrigger_Alarm2->setText(Key(9));
    u.chkTrigger_Relay->setText(Key(10));
    u.chkTrigger_Motion->setText(Key(11));
    u.frRecordingTime->setTitle(Key(12));
    u.lblBeforeTrigger->setText(Key(13));
    u.lblAfterTrigger->setText(Key(14));
    u.lblUnit_0->setText(Key(15));
    u.lblUnit_1->setText(Key(38));
    u.frTimerRec->setTitle(Key(16));
    for (int column = 0; column < 2; ++column) {
        const QString n = QString::number(column);
        findChild<QLabel*>(QStringLiteral("lblDay_") + n)->setText(Key(4));
        findChild<QLabel*>(QStringLiteral("lblStart_") + n)->setText(Key(5));
        findChild<QLabel*>(QStringLiteral("lblStop_") + n)->setText(Key(6));
    }
    QStringList days;
    for (int k = 0; k < kDayKinds; ++k)
        days << Key(kFirstDayKey + k);
    for (int i = 0; i < kTimerRows; ++i) {
        const QString n = QString::number(i);
        auto* check = findChild<QCheckBox*>(QStringLiteral("chkTimer_") + n);
        check->setText(QString::number(i + 1));
        check->setAccessibleName(Key(16) + QLatin1Char(' ') + QString::number(i + 1));
        auto* day = findChild<QComboBox*>(QStringLiteral("cmb_") + n);
        day->addItems(days);
        day->setAccessibleName(Key(4));
        findChild<QTimeEdit*>(QStringLiteral("dtpStart_") + n)->setAccessibleName(Key(5));
        findChild<QTimeEdit*>(QStringLiteral("dtpStop_") + n)->setAccessibleName(Key(6));
    }
    u.frFrameRate->setTitle(Key(17));
    u.chkChangeFPS_Trigger->setText(Key(18));
    u.lblfps->setText(Key(19));
    u.chkChangeFPS_Timer->setText(Key(20));
    QStringList rates;
    for (int fps : kFrameRates)
        rates << QString::number(fps);
    u.cmbChangefps_Trigger->addItems(rates);
    u.cmbChangefps_Timer->addItems(rates);
    u.cmbChangefps_Trigger->setAccessibleName(Key(18));
    u.cmbChangefps_Timer->setAccessibleName(Key(20));
    u.frCF->setTitle(Key(21));
    u.opStop->setText(Key(22));
    u.opDelete->setText(Key(23));
    u.lblDelete->setText(Key(24));
    u.frTimelapse->setTitle(Key(25));
    u.chkTimelapse->setText(Key(26));
    u.lblTimelapse->setText(Key(27));
    u.lblNotes->setText(Key(37));

    MousePointer::Hourglass();
    QVariantList args;
    for (int size : kSizes)
        args << QByteArray(size, '\0');
    const bool read = CallControl(Method::GetLocalRecInformation, args) == kResultOk;
    MousePointer::Default();
    for (int r = 0; r < kRecords; ++r)
        m_records[size_t(r)] = RecordBytes(args.value(r).toByteArray(), kSizes[r]).bytes();
    ShowRecords();
    EnableDependents();
    if (!read) {
        LoadFailed();
        return;
    }
    WatchChanges();
}

void frmSub_Recording::ShowRecords() {
    auto& u = *m_ui;
    const RecordBytes trigger(m_records[kTrigger], KEST_TRIGGER_SIZE);
    u.chkTrigger_Alarm1->setChecked(trigger.integer(KEST_TRIGGER_ALARM1, 1) != 0);
    u.chkTrigger_Alarm2->setChecked(trigger.integer(KEST_TRIGGER_ALARM2, 1) != 0);
    u.chkTrigger_Relay->setChecked(trigger.integer(KEST_TRIGGER_RELAY, 1) != 0);
    u.chkTrigger_Motion->setChecked(trigger.integer(KEST_TRIGGER_MOTION, 1) != 0);

    const RecordBytes alarmRec(m_records[kAlarmRec], KEST_ALARMREC_SIZE);
    m_before->setValue(int(alarmRec.integer(KEST_ALARMREC_BEFORE, 2)));
    m_after->setValue(int(alarmRec.integer(KEST_ALARMREC_AFTER, 2)));

    const RecordBytes timer(m_records[kTimerRec], KEST_TIMERREC_SIZE);
    for (int i = 0; i < kTimerRows; ++i) {
        const int row = i * KEST_TIMERREC_ROW_SIZE;
        const QString n = QString::number(i);
        findChild<QCheckBox*>(QStringLiteral("chkTimer_") + n)
            ->setChecked(timer.integer(row + KEST_TIMERREC_ROW0_ENABLE, 2) != 0);
        const int64_t day = timer.integer(row + KEST_TIMERREC_ROW0_DAY, 2);
        // A day kind the list does not have shows as every day.
        findChild<QComboBox*>(QStringLiteral("cmb_") + n)
            ->setCurrentIndex(day >= 0 && day < kDayKinds ? int(day) : 0);
        findChild<QTimeEdit*>(QStringLiteral("dtpStart_") + n)
            ->setTime(TimeOfMinute(timer.integer(row + KEST_TIMERREC_ROW0_START, 4)));
        findChild<QTimeEdit*>(QStringLiteral("dtpStop_") + n)
            ->setTime(TimeOfMinute(timer.integer(row + KEST_TIMERREC_ROW0_STOP, 4)));
    }

    const RecordBytes fps(m_records[kChangeFps], KEST_CHANGEFPS_SIZE);
    u.chkChangeFPS_Trigger->setChecked(fps.integer(KEST_CHANGEFPS_TRIGGER_ON, 2) != 0);
    u.cmbChangefps_Trigger->setCurrentIndex(
        RateIndex(int(fps.integer(KEST_CHANGEFPS_TRIGGER_FPS, 2))));
    u.chkChangeFPS_Timer->setChecked(fps.integer(KEST_CHANGEFPS_TIMER_ON, 2) != 0);
    u.cmbChangefps_Timer->setCurrentIndex(RateIndex(int(fps.integer(KEST_CHANGEFPS_TIMER_FPS, 2))));

    const RecordBytes full(m_records[kCFFull], KEST_CFFULL_SIZE);
    const bool stop = full.integer(KEST_CFFULL_STOP, 2) != 0;
    u.opStop->setChecked(stop);
    u.opDelete->setChecked(!stop);
    m_deleteBefore->setValue(int(full.integer(KEST_CFFULL_DELETE_BEFORE, 2)));

    const RecordBytes lapse(m_records[kTimeLapse], KEST_TIMELAPSE_SIZE);
    u.chkTimelapse->setChecked(lapse.integer(KEST_TIMELAPSE_ON, 2) != 0);
    m_timelapse->setValue(int(lapse.integer(KEST_TIMELAPSE_INTERVAL, 2)));
}

void frmSub_Recording::EnableDependents() {
    if (loadFailed()) return;
    auto& u = *m_ui;
    for (int i = 0; i < kTimerRows; ++i) {
        const QString n = QString::number(i);
        const bool on = findChild<QCheckBox*>(QStringLiteral("chkTimer_") + n)->isChecked();
        findChild<QComboBox*>(QStringLiteral("cmb_") + n)->setEnabled(on);
        findChild<QTimeEdit*>(QStringLiteral("dtpStart_") + n)->setEnabled(on);
        findChild<QTimeEdit*>(QStringLiteral("dtpStop_") + n)->setEnabled(on);
    }
    u.cmbChangefps_Trigger->setEnabled(u.chkChangeFPS_Trigger->isChecked());
    u.cmbChangefps_Timer->setEnabled(u.chkChangeFPS_Timer->isChecked());
    u.lblDelete->setEnabled(u.opDelete->isChecked());
    u.txtBefore->setEnabled(u.opDelete->isChecked());
    u.lblTimelapse->setEnabled(u.chkTimelapse->isChecked());
    u.txtTimelapse->setEnabled(u.chkTimelapse->isChecked());
}

bool frmSub_Recording::AnyTrigger() const {
    const auto& u = *m_ui;
    return u.chkTrigger_Alarm1->isChecked() || u.chkTrigger_Alarm2->isChecked() ||
           u.chkTrigger_Relay->isChecked() || u.chkTrigger_Motion->isChecked();
}

bool frmSub_Recording::Apply() {
    const auto& u = *m_ui;
    // A trigger that records nothing.
    if (AnyTrigger() && m_before->value() == 0 && m_after->value() == 0) {
        ShowMessage(310);
        u.txtBeforeTrigger->setFocus();
        return false;
    }
    RecordBytes trigger(m_records[kTrigger], KEST_TRIGGER_SIZE);
    trigger.setInteger(KEST_TRIGGER_ALARM1, 1, u.chkTrigger_Alarm1->isChecked());
    trigger.setInteger(KEST_TRIGGER_ALARM2, 1, u.chkTrigger_Alarm2->isChecked());
    trigger.setInteger(KEST_TRIGGER_RELAY, 1, u.chkTrigger_Relay->isChecked());
    trigger.setInteger(KEST_TRIGGER_MOTION, 1, u.chkTrigger_Motion->isChecked());

    RecordBytes alarmRec(m_records[kAlarmRec], KEST_ALARMREC_SIZE);
    alarmRec.setInteger(KEST_ALARMREC_BEFORE, 2, m_before->value());
    alarmRec.setInteger(KEST_ALARMREC_AFTER, 2, m_after->value());

    RecordBytes timer(m_records[kTimerRec], KEST_TIMERREC_SIZE);
    for (int i = 0; i < kTimerRows; ++i) {
        const int row = i * KEST_TIMERREC_ROW_SIZE;
        const QString n = QString::number(i);
        const QTime start = findChild<QTimeEdit*>(QStringLiteral("dtpStart_") + n)->time();
        const QTime stop = findChild<QTimeEdit*>(QStringLiteral("dtpStop_") + n)->time();
        timer.setInteger(row + KEST_TIMERREC_ROW0_ENABLE, 2,
                         findChild<QCheckBox*>(QStringLiteral("chkTimer_") + n)->isChecked());
        timer.setInteger(row + KEST_TIMERREC_ROW0_DAY, 2,
                         findChild<QComboBox*>(QStringLiteral("cmb_") + n)->currentIndex());
        timer.setInteger(row + KEST_TIMERREC_ROW0_START, 4, start.hour() * 60 + start.minute());
        timer.setInteger(row + KEST_TIMERREC_ROW0_STOP, 4, stop.hour() * 60 + stop.minute());
    }

    RecordBytes fps(m_records[kChangeFps], KEST_CHANGEFPS_SIZE);
    fps.setInteger(KEST_CHANGEFPS_TRIGGER_ON, 2, u.chkChangeFPS_Trigger->isChecked());
    fps.setInteger(KEST_CHANGEFPS_TRIGGER_FPS, 2,
                   kFrameRates[size_t(std::max(0, u.cmbChangefps_Trigger->currentIndex()))]);
    fps.setInteger(KEST_CHANGEFPS_TIMER_ON, 2, u.chkChangeFPS_Timer->isChecked());
    fps.setInteger(KEST_CHANGEFPS_TIMER_FPS, 2,
                   kFrameRates[size_t(std::max(0, u.cmbChangefps_Timer->currentIndex()))]);

    RecordBytes full(m_records[kCFFull], KEST_CFFULL_SIZE);
    full.setInteger(KEST_CFFULL_STOP, 2, u.opStop->isChecked());
    full.setInteger(KEST_CFFULL_DELETE_BEFORE, 2, m_deleteBefore->value());

    RecordBytes lapse(m_records[kTimeLapse], KEST_TIMELAPSE_SIZE);
    lapse.setInteger(KEST_TIMELAPSE_ON, 2, u.chkTimelapse->isChecked());
    lapse.setInteger(KEST_TIMELAPSE_INTERVAL, 2, m_timelapse->value());

    QVariantList args{trigger.bytes(), alarmRec.bytes(), timer.bytes(),
                      fps.bytes(),     full.bytes(),     lapse.bytes()};
    MousePointer::Hourglass();
    const int16_t result = CallControl(Method::SetLocalRecInformation, args);
    MousePointer::Default();
    if (result != kResultOk) {
        WriteFailed();
        return false;
    }
    m_records = {trigger.bytes(), alarmRec.bytes(), timer.bytes(),
                 fps.bytes(),     full.bytes(),     lapse.bytes()};
    return true;
}

}  // namespace kestcfg
