#include "setup/frmSub_NTP.h"

#include "kest_records.h"
#include "setup/ClockRecords.h"
#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "setup/RecordBytes.h"
#include "ui_frmSub_NTP.h"

namespace kestcfg {

namespace {

constexpr int kMinYear = 1900;
constexpr int kMaxYear = 2079;
constexpr int kMaxAdjustDays = 30;
constexpr int kMaxAdjustHours = 23;

QString SetTimeKey(int key) {
    return GetLangString(QStringLiteral("SUB_SETTIME_A"), QString::number(key));
}

}  // namespace

frmSub_NTP::frmSub_NTP(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_NTP>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_NTP, QStringLiteral("SUB_NTP_A"));
    QLineEdit* const server[] = {m_ui->txtNTP_IPAddress_0, m_ui->txtNTP_IPAddress_1,
                                 m_ui->txtNTP_IPAddress_2, m_ui->txtNTP_IPAddress_3};
    AddressRow(server);
    m_ui->cmbTimeZone->addItems(TimeZoneNames());
    for (int day = 0; day <= kMaxAdjustDays; ++day)
        m_ui->cmbAdjustDay->addItem(QString::number(day));
    for (int hour = 0; hour <= kMaxAdjustHours; ++hour)
        m_ui->cmbAdjustHour->addItem(QString::number(hour));
    connect(m_ui->cmdSetLocalTime, &QPushButton::clicked, this, &frmSub_NTP::cmdSetLocalTime_Click);
    connect(m_ui->cmdSetGMT, &QPushButton::clicked, this, &frmSub_NTP::cmdSetGMT_Click);
    Form_Load();
}

frmSub_NTP::~frmSub_NTP() = default;

void frmSub_NTP::Form_Load() {
    auto& u = *m_ui;
    setWindowTitle(SetTimeKey(1));
    u.optNTP->setText(Key(2));
    u.lblNTP_IPaddress->setText(Key(3));
    u.lblTimeZone->setText(Key(4));
    u.lblAdjust->setText(Key(5));
    u.lblDay->setText(Key(6));
    u.lblHour->setText(Key(7));
    u.lblEvery->setText(Key(8));
    u.optNotNTP->setText(Key(9));
    u.cmdSetLocalTime->setText(Key(10));
    u.cmdSetGMT->setText(Key(11));
    u.frSetTime->setTitle(SetTimeKey(2));
    u.fraSetTime->setTitle(SetTimeKey(5));

    QVariantList clock{QVariant(), QByteArray(KEST_NTPSETTING_SIZE, '\0'),
                       QByteArray(KEST_DATETIME_SIZE, '\0')};
    if (CallControl(Method::GetCurrentDateTime, clock) != kResultOk) {
        LoadFailed();
        return;
    }
    m_ntpSetting = clock.value(1).toByteArray();
    m_dateTime = clock.value(2).toByteArray();
    (clock.value(0).toInt() == 1 ? u.optNTP : u.optNotNTP)->setChecked(true);
    const RecordBytes ntp(m_ntpSetting, KEST_NTPSETTING_SIZE);
    // Values outside the lists select nothing rather than a wrong entry.
    const int64_t zone = ntp.integer(KEST_NTPSETTING_TIME_ZONE, 4);
    u.cmbTimeZone->setCurrentIndex(
        zone >= kTimeZoneFirst && zone <= kTimeZoneLast ? int(zone - kTimeZoneFirst) : -1);
    const uint32_t days = ntp.unsignedInteger(KEST_NTPSETTING_ADJUST_DAYS, 1);
    const uint32_t hours = ntp.unsignedInteger(KEST_NTPSETTING_ADJUST_HOURS, 1);
    u.cmbAdjustDay->setCurrentIndex(days <= kMaxAdjustDays ? int(days) : -1);
    u.cmbAdjustHour->setCurrentIndex(hours <= kMaxAdjustHours ? int(hours) : -1);
    const auto server = ntp.address(KEST_NTPSETTING_SERVER);
    QLineEdit* boxes[] = {u.txtNTP_IPAddress_0, u.txtNTP_IPAddress_1, u.txtNTP_IPAddress_2,
                          u.txtNTP_IPAddress_3};
    for (int i = 0; i < 4; ++i)
        boxes[i]->setText(QString::number(server[size_t(i)]));
    const QDateTime camera = ClockTime(m_dateTime);
    const QDateTime shown = camera.isValid() ? camera : PcTime(false);
    ShowInPickers(u.dtp_Date, u.dtp_Time, shown);
    WatchChanges();
}

void frmSub_NTP::cmdSetLocalTime_Click() {
    const QDateTime now = PcTime(false);
    ShowInPickers(m_ui->dtp_Date, m_ui->dtp_Time, now);
    okButton()->setEnabled(true);
    applyButton()->setEnabled(true);
}

void frmSub_NTP::cmdSetGMT_Click() {
    const QDateTime now = PcTime(true);
    ShowInPickers(m_ui->dtp_Date, m_ui->dtp_Time, now);
    okButton()->setEnabled(true);
    applyButton()->setEnabled(true);
}

bool frmSub_NTP::Apply() {
    auto& u = *m_ui;
    const int year = u.dtp_Date->date().year();
    if (year < kMinYear || year > kMaxYear) {
        ShowMessage(249);
        u.dtp_Date->setFocus();
        return false;
    }
    const bool ntp = u.optNTP->isChecked();
    QByteArray ntpSetting = m_ntpSetting;
    QByteArray dateTime = m_dateTime;
    if (ntp) {
        QLineEdit* boxes[] = {u.txtNTP_IPAddress_0, u.txtNTP_IPAddress_1, u.txtNTP_IPAddress_2,
                              u.txtNTP_IPAddress_3};
        std::array<uint8_t, 4> server{};
        for (int i = 0; i < 4; ++i) {
            // A number above 255 would not fit its byte.
            const QString text = boxes[i]->text();
            if (text.isEmpty() || !IsAllDigits(text) || LeadingNumber(text) > 255) {
                ShowMessage(kMsgBadAddress);
                boxes[i]->setFocus();
                return false;
            }
            server[size_t(i)] = uint8_t(LeadingNumber(text));
        }
        RecordBytes r(m_ntpSetting, KEST_NTPSETTING_SIZE);
        const int zone = u.cmbTimeZone->currentIndex();
        if (zone >= 0) r.setInteger(KEST_NTPSETTING_TIME_ZONE, 4, zone + kTimeZoneFirst);
        if (u.cmbAdjustDay->currentIndex() >= 0) {
            r.setInteger(KEST_NTPSETTING_ADJUST_DAYS, 1, u.cmbAdjustDay->currentIndex());
        }
        if (u.cmbAdjustHour->currentIndex() >= 0) {
            r.setInteger(KEST_NTPSETTING_ADJUST_HOURS, 1, u.cmbAdjustHour->currentIndex());
        }
        r.setAddress(KEST_NTPSETTING_SERVER, server);
        ntpSetting = r.bytes();
    } else {
        dateTime = ClockRecord(PickerTime(u.dtp_Date, u.dtp_Time), m_dateTime);
    }
    QVariantList clock{ntp ? 1 : 0, ntpSetting, dateTime};
    if (!Write(Method::SetCurrentDatetime, clock)) return false;
    m_ntpSetting = ntpSetting;
    m_dateTime = dateTime;
    return true;
}

}  // namespace kestcfg
