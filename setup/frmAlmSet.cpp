#include "setup/frmAlmSet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>

#include "include/kest_records.h"
#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "setup/MessageService.h"
#include "setup/RangeBox.h"
#include "setup/RecordBytes.h"
#include "setup/frmList.h"
#include "ui_frmAlmSet.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

constexpr int kWord = 2;
// The combined input's time: minutes and seconds.
constexpr int kMinuteMax = 59;
constexpr int kSecondMax = 59;

// The words of one alarm input: on, armed, position, alarm output.
struct InputWords {
    int on, armed, position, alarmOut;
};
constexpr InputWords kInputs[2] = {
    {KEST_ALARMSETTING_INPUT1_ON, KEST_ALARMSETTING_INPUT1_ARMED, KEST_ALARMSETTING_INPUT1_POSITION,
     KEST_ALARMSETTING_INPUT1_ALARM_OUT},
    {KEST_ALARMSETTING_INPUT2_ON, KEST_ALARMSETTING_INPUT2_ARMED, KEST_ALARMSETTING_INPUT2_POSITION,
     KEST_ALARMSETTING_INPUT2_ALARM_OUT},
};

bool InRange(const QString& text, int low, int high) {
    if (text.isEmpty() || !IsAllDigits(text)) return false;
    const int32_t value = LeadingNumber(text);
    return value >= low && value <= high;
}

}  // namespace

frmAlmSet::frmAlmSet(QWidget* parent) : SubDialog(parent), m_ui(std::make_unique<Ui::frmAlmSet>()) {
    m_ui->setupUi(this);
    auto& u = *m_ui;
    QLineEdit* positions[] = {u.txtAlarmPos_0, u.txtAlarmPos_1, u.txtAlarmPos_2};
    QScrollBar* bars[] = {u.scrlAlarmPos_0, u.scrlAlarmPos_1, u.scrlAlarmPos_2};
    for (int i = 0; i < 3; ++i) {
        m_position[i] = new RangeBox(positions[i], kPositionMin, kPositionMax, bars[i]);
        bars[i]->setPageStep(1);
    }
    m_minute = new RangeBox(u.txtMinute, 0, kMinuteMax);
    m_second = new RangeBox(u.txtSecond, 0, kSecondMax);
    // The repeat count and on-time are checked at Command1, not corrected.
    KeyFilter::acceptOnly(u.txtTimes, kDigits);
    u.txtTimes->setMaxLength(2);
    KeyFilter::acceptOnly(u.txtOut, kDigits);
    u.txtOut->setMaxLength(5);

    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b))
            connect(b, &QAbstractButton::toggled, this, &frmAlmSet::EnableDependents);
    }
    connect(u.Command1, &QPushButton::clicked, this, &frmAlmSet::Command1_Click);
    connect(u.Command2, &QPushButton::clicked, this, &frmAlmSet::Command2_Click);
    connect(u.cmbList, &QPushButton::clicked, this, &frmAlmSet::cmbList_Click);
    connect(u.chkFTPUpload, &QCheckBox::clicked, this, &frmAlmSet::chkFTPUpload_Click);
    connect(u.cmbDual1, &QComboBox::activated, this, &frmAlmSet::cmbDual1_Click);
    connect(u.cmbDual2, &QComboBox::activated, this, &frmAlmSet::cmbDual2_Click);
    Form_Load();
}

frmAlmSet::~frmAlmSet() = default;

frmList* frmAlmSet::listForm() const {
    return m_list;
}

kest::qt::KestWidget* frmAlmSet::alarmControl() const {
    return m_ui->vn_AlmSet;
}

void frmAlmSet::Form_Load() {
    auto& u = *m_ui;
    InitDialog(u.vn_AlmSet, QStringLiteral("SUB_ALARM_A"));
    setWindowTitle(Key(1));
    u.fraAlarm1->setTitle(Key(2));
    u.fraAlarm2->setTitle(Key(3));
    u.opAlm1Enbl->setText(Key(4));
    u.opAlm1Unenbl->setText(Key(5));
    u.opAlm2Enbl->setText(Key(6));
    u.opAlm2Unenbl->setText(Key(7));
    for (QCheckBox* c : {u.ckAlarmOut_0, u.ckAlarmOut_1, u.ckAlarmOut_2})
        c->setText(Key(8));
    for (QCheckBox* c : {u.ckAlarmPos_0, u.ckAlarmPos_1, u.ckAlarmPos_2})
        c->setText(Key(9));
    for (QScrollBar* s : {u.scrlAlarmPos_0, u.scrlAlarmPos_1, u.scrlAlarmPos_2})
        s->setAccessibleName(Key(9));
    u.chkFTPUpload->setText(Key(10));
    u.ckDual->setText(Key(11));
    u.lblCondition->setText(Key(12));
    u.lblThen->setText(GetLangString(QLatin1String(kOwnSection), QStringLiteral("27")));
    for (QComboBox* c : {u.cmbDual1, u.cmbDual2}) {
        c->addItems({Key(2), Key(3)});
    }
    u.cmbDual1->setAccessibleName(Key(12));
    u.cmbDual2->setAccessibleName(u.lblThen->text());
    u.lblWithin->setText(Key(13));
    u.lblMinute->setText(Key(14));
    u.lblSecond->setText(Key(15));
    u.fraOut->setTitle(Key(16));
    u.opOutEnbl->setText(Key(17));
    u.opOutUnenbl->setText(Key(18));
    u.lblOutLevel->setText(Key(19));
    u.opOutH->setText(Key(20));
    u.opOutL->setText(Key(21));
    u.lblOutInit->setText(Key(22));
    u.opOutini->setText(Key(23));
    u.opOutNotini->setText(Key(24));
    u.lblOut->setText(Key(25));
    u.Command2->setText(Key(26));
    u.cmbList->setText(Key(27));
    u.lblTimes->setText(Key(28));
    u.fraMotion->setTitle(Key(32));
    u.optMotionAlarmEnbl->setText(Key(33));
    u.optMotionAlarmUnenbl->setText(Key(34));
    u.Command1->setText(GetLangString(QStringLiteral("BUTTON_H"), QStringLiteral("4")));
    u.cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_H"), QStringLiteral("2")));

    MousePointer::Hourglass();
    QVariantList setting{QByteArray(KEST_ALARMSETTING_SIZE, '\0')};
    QVariantList motion{0, 0, 0, 0};
    QVariantList action{0, 0, 0};
    QVariantList count{0};
    const bool read = CallControl(Method::AlarmGetInit, setting) == kResultOk &&
                      CallControl(Method::GetMotionDetectInformation, motion) == kResultOk &&
                      CallControl(Method::GetMotionDetectAction, action) == kResultOk &&
                      CallControl(Method::AlarmGetCount, count) == kResultOk;
    MousePointer::Default();
    m_read = RecordBytes(setting.value(0).toByteArray(), KEST_ALARMSETTING_SIZE).bytes();
    for (int i = 0; i < 4; ++i)
        m_motion[i] = int16_t(motion.value(i).toInt());
    for (int i = 0; i < 3; ++i)
        m_action[i] = int16_t(action.value(i).toInt());
    ShowRecord(RecordBytes(m_read, KEST_ALARMSETTING_SIZE));
    u.optMotionAlarmEnbl->setChecked(m_motion[0] != 0);
    u.optMotionAlarmUnenbl->setChecked(m_motion[0] == 0);
    u.chkFTPUpload->setChecked(m_action[2] != 0);
    u.txtTimes->setText(QString::number(count.value(0).toInt()));
    EnableDependents();
    if (!read) LoadFailed();
}

void frmAlmSet::ShowRecord(const RecordBytes& r) {
    auto& u = *m_ui;
    const auto word = [&r](int offset) { return int(r.integer(offset, kWord)); };
    QRadioButton* on[2] = {u.opAlm1Enbl, u.opAlm2Enbl};
    QRadioButton* off[2] = {u.opAlm1Unenbl, u.opAlm2Unenbl};
    QCheckBox* alarmOut[3] = {u.ckAlarmOut_0, u.ckAlarmOut_1, u.ckAlarmOut_2};
    QCheckBox* position[3] = {u.ckAlarmPos_0, u.ckAlarmPos_1, u.ckAlarmPos_2};
    const auto showPosition = [&](int i, int value) {
        position[i]->setChecked(value != 0);
        m_position[i]->setValue(value != 0 ? value : kPositionMin);
    };
    for (int i = 0; i < 2; ++i) {
        const InputWords& w = kInputs[i];
        const bool enabled = word(w.on) != 0;
        on[i]->setChecked(enabled);
        off[i]->setChecked(!enabled);
        showPosition(i, word(w.position));
        alarmOut[i]->setChecked(word(w.alarmOut) != 0);
    }
    const bool output = word(KEST_ALARMSETTING_OUTPUT_MODE) != 0;
    u.opOutEnbl->setChecked(output);
    u.opOutUnenbl->setChecked(!output);
    const bool high = word(KEST_ALARMSETTING_OUTPUT_LEVEL) != 0;
    u.opOutH->setChecked(high);
    u.opOutL->setChecked(!high);
    u.txtOut->setText(QString::number(std::max(0, word(KEST_ALARMSETTING_OUTPUT_ON_TIME))));
    const bool initial = word(KEST_ALARMSETTING_OUTPUT_INITIAL) != 0;
    u.opOutini->setChecked(initial);
    u.opOutNotini->setChecked(!initial);
    u.ckDual->setChecked(word(KEST_ALARMSETTING_DUAL_ON) != 0);
    const int order = word(KEST_ALARMSETTING_DUAL_ORDER) != 0 ? 1 : 0;
    u.cmbDual1->setCurrentIndex(order);
    u.cmbDual2->setCurrentIndex(1 - order);
    // A time beyond what the boxes hold shows as their largest.
    const int seconds =
        std::clamp(word(KEST_ALARMSETTING_DUAL_TIME), 0, kMinuteMax * 60 + kSecondMax);
    m_minute->setValue(seconds / 60);
    m_second->setValue(seconds % 60);
    showPosition(2, word(KEST_ALARMSETTING_DUAL_POSITION));
    alarmOut[2]->setChecked(word(KEST_ALARMSETTING_DUAL_ALARM_OUT) != 0);
}

RecordBytes frmAlmSet::BuildRecord() const {
    const auto& u = *m_ui;
    // Built on the record as read, so the word the dialog does not fill
    // goes back as the camera had it.
    RecordBytes r(m_read, KEST_ALARMSETTING_SIZE);
    const auto set = [&r](int offset, int value) { r.setInteger(offset, kWord, value); };
    const QRadioButton* on[2] = {u.opAlm1Enbl, u.opAlm2Enbl};
    const QCheckBox* alarmOut[3] = {u.ckAlarmOut_0, u.ckAlarmOut_1, u.ckAlarmOut_2};
    const QCheckBox* position[3] = {u.ckAlarmPos_0, u.ckAlarmPos_1, u.ckAlarmPos_2};
    const auto positionOf = [&](int i) {
        return position[i]->isChecked() ? m_position[i]->value() : 0;
    };
    for (int i = 0; i < 2; ++i) {
        const InputWords& w = kInputs[i];
        const int enabled = on[i]->isChecked() ? 1 : 0;
        set(w.on, enabled);
        set(w.armed, enabled);
        set(w.position, positionOf(i));
        set(w.alarmOut, alarmOut[i]->isChecked() ? 1 : 0);
    }
    set(KEST_ALARMSETTING_OUTPUT_MODE, u.opOutEnbl->isChecked() ? 2 : 0);
    set(KEST_ALARMSETTING_OUTPUT_LEVEL, u.opOutH->isChecked() ? 1 : 0);
    set(KEST_ALARMSETTING_OUTPUT_ON_TIME, LeadingNumber(u.txtOut->text()));
    set(KEST_ALARMSETTING_OUTPUT_INITIAL, u.opOutini->isChecked() ? 1 : 0);
    set(KEST_ALARMSETTING_DUAL_ON, u.ckDual->isChecked() ? 1 : 0);
    // Word 13: which input comes first, 0 input 1, 1 input 2.
    set(KEST_ALARMSETTING_DUAL_ORDER, u.cmbDual1->currentIndex() == 1 ? 1 : 0);
    set(KEST_ALARMSETTING_DUAL_TIME, m_minute->value() * 60 + m_second->value());
    set(KEST_ALARMSETTING_DUAL_POSITION, positionOf(2));
    set(KEST_ALARMSETTING_DUAL_ALARM_OUT, alarmOut[2]->isChecked() ? 1 : 0);
    return r;
}

void frmAlmSet::EnableDependents() {
    if (loadFailed()) return;
    auto& u = *m_ui;
    const bool output = u.opOutEnbl->isChecked();
    const bool inputs[3] = {u.opAlm1Enbl->isChecked(), u.opAlm2Enbl->isChecked(),
                            u.ckDual->isChecked()};
    QCheckBox* alarmOut[3] = {u.ckAlarmOut_0, u.ckAlarmOut_1, u.ckAlarmOut_2};
    QCheckBox* position[3] = {u.ckAlarmPos_0, u.ckAlarmPos_1, u.ckAlarmPos_2};
    QScrollBar* bars[3] = {u.scrlAlarmPos_0, u.scrlAlarmPos_1, u.scrlAlarmPos_2};
    QLineEdit* boxes[3] = {u.txtAlarmPos_0, u.txtAlarmPos_1, u.txtAlarmPos_2};
    for (int i = 0; i < 3; ++i) {
        // An input's actions count while it is on; driving the output, while
        // the output is on too.
        alarmOut[i]->setEnabled(inputs[i] && output);
        position[i]->setEnabled(inputs[i]);
        bars[i]->setEnabled(inputs[i] && position[i]->isChecked());
        boxes[i]->setEnabled(inputs[i] && position[i]->isChecked());
    }
    for (QWidget* w : std::initializer_list<QWidget*>{u.lblCondition, u.cmbDual1, u.lblThen,
                                                      u.cmbDual2, u.lblWithin, u.txtMinute,
                                                      u.lblMinute, u.txtSecond, u.lblSecond}) {
        w->setEnabled(inputs[2]);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{u.lblOutLevel, u.opOutH, u.opOutL,
                                                      u.lblOutInit, u.opOutini, u.opOutNotini}) {
        w->setEnabled(output);
    }
    u.chkFTPUpload->setEnabled(u.optMotionAlarmEnbl->isChecked());
}

void frmAlmSet::cmbDual1_Click() {
    // The second input is always the other one.
    m_ui->cmbDual2->setCurrentIndex(1 - m_ui->cmbDual1->currentIndex());
}

void frmAlmSet::cmbDual2_Click() {
    m_ui->cmbDual1->setCurrentIndex(1 - m_ui->cmbDual2->currentIndex());
}

void frmAlmSet::chkFTPUpload_Click() {
    if (m_ui->chkFTPUpload->isChecked()) ShowMessage(402);
}

void frmAlmSet::ErrorBox(const QString& text) {
    MessageBoxSpec box;
    box.title = GetLangString(QLatin1String(kTitleSection), QStringLiteral("1"));
    box.text = text;
    box.icon = QMessageBox::Critical;
    box.defaultButton = QMessageBox::Ok;
    MessageService::show(box);
}

void frmAlmSet::CallFailed(int16_t result) {
    MousePointer::Default();
    ErrorBox(result == kResultRefused
                 ? GetLangString(QStringLiteral("System Error Msg"), QStringLiteral("-2"))
                 : Key(31));
}

void frmAlmSet::Command1_Click() {
    if (loadFailed()) return;
    auto& u = *m_ui;
    if (!InRange(u.txtTimes->text(), kRepeatMin, kRepeatMax)) {
        ErrorBox(Key(29));
        u.txtTimes->setFocus();
        return;
    }
    if (!InRange(u.txtOut->text(), 0, kOnTimeMax)) {
        ErrorBox(Key(30));
        u.txtOut->setFocus();
        return;
    }
    const RecordBytes record = BuildRecord();
    MousePointer::Hourglass();
    QVariantList count{LeadingNumber(u.txtTimes->text())};
    if (const int16_t r = CallControl(Method::AlarmSetCount, count); r != kResultOk) {
        return CallFailed(r);
    }
    QVariantList setting{record.bytes()};
    if (const int16_t r = CallControl(Method::AlarmSetInit, setting); r != kResultOk) {
        return CallFailed(r);
    }
    // Only the FTP upload is the dialog's; the motion action's output and
    // position go back as read.
    QVariantList action{m_action[0], m_action[1], u.chkFTPUpload->isChecked() ? 1 : 0};
    if (const int16_t r = CallControl(Method::SetMotionDetectAction, action); r != kResultOk) {
        return CallFailed(r);
    }
    QVariantList motion{u.optMotionAlarmEnbl->isChecked() ? 1 : 0, m_motion[1], m_motion[2],
                        m_motion[3]};
    if (const int16_t r = CallControl(Method::SetMotionDetectInformation, motion); r != kResultOk) {
        return CallFailed(r);
    }
    MousePointer::Default();
    m_read = record.bytes();
    close();
}

void frmAlmSet::Command2_Click() {
    QVariantList flag{1};
    MousePointer::Hourglass();
    const int16_t r = CallControl(Method::AlarmOut, flag);
    MousePointer::Default();
    if (r != kResultOk) CallFailed(r);
}

void frmAlmSet::cmbList_Click() {
    // On the heap: closing the alarm dialog while the list is open deletes
    // it with the dialog.
    QPointer<frmList> list = new frmList(m_ui->vn_AlmSet, this);
    m_list = list;
    list->exec();
    delete list;
}

}  // namespace kestcfg
