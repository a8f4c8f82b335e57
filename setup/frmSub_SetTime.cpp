#include "setup/frmSub_SetTime.h"

#include <QTimer>

#include "kest_records.h"
#include "setup/ClockRecords.h"
#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/MessageService.h"
#include "ui_frmSub_SetTime.h"

namespace kestcfg {

namespace {

QString Own(int key) {
    return GetLangString(QLatin1String(kOwnSection), QString::number(key));
}

}  // namespace

frmSub_SetTime::frmSub_SetTime(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_SetTime>()), m_timer(new QTimer(this)) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_SetTime, QStringLiteral("SUB_SETTIME_A"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &frmSub_SetTime::Timer1_Timer);
    connect(m_ui->cmdSetLocalTime, &QPushButton::clicked, this,
            &frmSub_SetTime::cmdSetLocalTime_Click);
    connect(m_ui->cmdSetGMT, &QPushButton::clicked, this, &frmSub_SetTime::cmdSetGMT_Click);
    Form_Load();
}

frmSub_SetTime::~frmSub_SetTime() = default;

void frmSub_SetTime::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->frSetTime->setTitle(Key(2));
    m_ui->cmdSetLocalTime->setText(Key(3));
    m_ui->cmdSetGMT->setText(Key(4));
    m_ui->fraSetTime->setTitle(Key(5));
    m_ui->lblPcTimeLabel->setText(Own(16));
    QVariantList clock{QVariant(), QByteArray(KEST_NTPSETTING_SIZE, '\0'),
                       QByteArray(KEST_DATETIME_SIZE, '\0')};
    if (CallControl(Method::GetCurrentDateTime, clock) != kResultOk) {
        LoadFailed();
        return;
    }
    m_ntp = int16_t(clock.value(0).toInt());
    m_ntpSetting = clock.value(1).toByteArray();
    m_dateTime = clock.value(2).toByteArray();
    const QDateTime camera = ClockTime(m_dateTime);
    const QDateTime pc = PcTime(false);
    m_clockValid = camera.isValid();
    m_offset = m_clockValid ? pc.secsTo(camera) : 0;
    const QDateTime shown = m_clockValid ? camera : pc;
    ShowInPickers(m_ui->dtp_Date, m_ui->dtp_Time, shown);
    ShowDifference();
    m_timer->start();
}

void frmSub_SetTime::Timer1_Timer() {
    // The pickers run with the camera's clock, but not under the user's hands.
    if (!m_ui->dtp_Date->hasFocus() && !m_ui->dtp_Time->hasFocus()) {
        const QDateTime next = PickerTime(m_ui->dtp_Date, m_ui->dtp_Time).addSecs(1);
        ShowInPickers(m_ui->dtp_Date, m_ui->dtp_Time, next);
    }
    ShowDifference();
}

void frmSub_SetTime::ShowDifference() {
    m_ui->lblPcTime->setText(PcTime(false).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    if (!m_clockValid) {
        m_ui->lblClockDifference->clear();
    } else if (m_offset > 0) {
        m_ui->lblClockDifference->setText(Own(17).arg(m_offset));
    } else if (m_offset < 0) {
        m_ui->lblClockDifference->setText(Own(18).arg(-m_offset));
    } else {
        m_ui->lblClockDifference->setText(Own(19));
    }
}

bool frmSub_SetTime::Apply() {
    return SetClock(PickerTime(m_ui->dtp_Date, m_ui->dtp_Time));
}

void frmSub_SetTime::cmdSetLocalTime_Click() {
    SetClock(PcTime(false));
}

void frmSub_SetTime::cmdSetGMT_Click() {
    SetClock(PcTime(true));
}

bool frmSub_SetTime::SetClock(const QDateTime& time) {
    MessageBoxSpec ask;
    ask.title = GetLangString(QLatin1String(kTitleSection), QStringLiteral("1"));
    ask.text = Key(6) + QStringLiteral("\r\n") + ClockText(time) + QStringLiteral("\r\n") +
               GetLangString(QStringLiteral("MSG_QUESTION"), QStringLiteral("113"));
    ask.icon = QMessageBox::Question;
    ask.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    ask.defaultButton = QMessageBox::Ok;
    if (MessageService::show(ask) != QMessageBox::Ok) return false;
    // The camera keeps its network-time setting; only its clock is set.
    const QByteArray dateTime = ClockRecord(time, m_dateTime);
    QVariantList clock{int(m_ntp), m_ntpSetting, dateTime};
    if (!Write(Method::SetCurrentDatetime, clock)) return false;
    m_dateTime = dateTime;
    m_clockValid = true;
    m_offset = PcTime(false).secsTo(time);
    ShowInPickers(m_ui->dtp_Date, m_ui->dtp_Time, time);
    ShowDifference();
    return true;
}

}  // namespace kestcfg
