#include "setup/frmSub_MultiCast.h"

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/Forms.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/RecordBytes.h"
#include "setup/frmMain_IP.h"
#include "setup/frmMain_Setting_Marten.h"
#include "ui_frmSub_MultiCast.h"

namespace kestcfg {

namespace {

// The multicast group range a camera sends to.
constexpr int kFirstGroupOctet = 225;
constexpr int kLastGroupOctet = 239;
const QString kSettings = QStringLiteral("MultiCast");

}  // namespace

frmSub_MultiCast::frmSub_MultiCast(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_MultiCast>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_MultiCast, QStringLiteral("SUB_MULTICAST_A"));
    QLineEdit* const group[] = {m_ui->txtMultiCastAddress_0, m_ui->txtMultiCastAddress_1,
                                m_ui->txtMultiCastAddress_2, m_ui->txtMultiCastAddress_3};
    AddressRow(group);
    connect(m_ui->optUnicast, &QRadioButton::clicked, this, &frmSub_MultiCast::optUnicast_Click);
    connect(m_ui->optMultiCast, &QRadioButton::clicked, this,
            &frmSub_MultiCast::optMultiCast_Click);
    Form_Load();
}

frmSub_MultiCast::~frmSub_MultiCast() = default;

void frmSub_MultiCast::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->optUnicast->setText(Key(2));
    m_ui->optMultiCast->setText(Key(3));
    m_ui->fraMultiCastAddress->setTitle(Key(4));
    m_ui->lblMultiCast->setText(Key(5));
    QVariantList mode{QVariant(), QByteArray(4, '\0'), QVariant(),
                      QVariant(), QVariant(),          QVariant()};
    if (CallControl(Method::GetMulticastMode, mode) != kResultOk) {
        LoadFailed();
        return;
    }
    const auto group = RecordBytes(mode.value(1).toByteArray(), 4).address(0);
    QLineEdit* boxes[] = {m_ui->txtMultiCastAddress_0, m_ui->txtMultiCastAddress_1,
                          m_ui->txtMultiCastAddress_2, m_ui->txtMultiCastAddress_3};
    for (int i = 0; i < 4; ++i)
        boxes[i]->setText(QString::number(group[size_t(i)]));
    if (mode.value(0).toInt() == 0) {
        m_ui->optUnicast->setChecked(true);
        optUnicast_Click();
    } else {
        m_ui->optMultiCast->setChecked(true);
        optMultiCast_Click();
    }
    WatchChanges();
}

void frmSub_MultiCast::optUnicast_Click() {
    m_ui->fraMultiCastAddress->setEnabled(false);
}

void frmSub_MultiCast::optMultiCast_Click() {
    m_ui->fraMultiCastAddress->setEnabled(true);
}

bool frmSub_MultiCast::Apply() {
    QLineEdit* boxes[] = {m_ui->txtMultiCastAddress_0, m_ui->txtMultiCastAddress_1,
                          m_ui->txtMultiCastAddress_2, m_ui->txtMultiCastAddress_3};
    const bool multicast = m_ui->optMultiCast->isChecked();
    // The group is checked only when the camera is to send to it: a camera
    // without a group can still be switched to unicast.
    std::array<uint8_t, 4> group{};
    for (int i = 0; i < 4; ++i) {
        const QString text = boxes[i]->text();
        const int32_t value = LeadingNumber(text);
        bool bad = text.isEmpty() || !IsAllDigits(text) || value > 255;
        if (i == 0) bad = bad || value < kFirstGroupOctet || value > kLastGroupOctet;
        if (multicast && bad) {
            ShowMessage(kMsgBadAddress);
            boxes[i]->setFocus();
            return false;
        }
        group[size_t(i)] = uint8_t(std::clamp(value, 0, 255));
    }
    if (ShowMessage(117) != 1) return false;
    const int32_t burstCount =
        ReadSettingNumber(kSettings, QStringLiteral("BurstCount"), 2, INT16_MIN, INT16_MAX);
    const int32_t burstInterval =
        ReadSettingNumber(kSettings, QStringLiteral("BurstInterval"), 0, INT16_MIN, INT16_MAX);
    // A 16-bit field: ports above 32767 travel as negative numbers.
    const auto port = int16_t(uint16_t(
        ReadSettingNumber(kSettings, QStringLiteral("MultiCastPort"), 4002, 0, UINT16_MAX)));
    const int32_t ttl = ReadSettingNumber(kSettings, QStringLiteral("TTL"), 255, 0, 255);
    RecordBytes address(4);
    address.setAddress(0, group);
    QVariantList mode{multicast ? 1 : 0,  address.bytes(), int(burstCount),
                      int(burstInterval), int(port),       int(ttl)};
    MousePointer::Hourglass();
    int16_t result = CallControl(Method::SetMulticastMode, mode);
    if (result == kResultOk) result = CallControl(Method::ResetCamera);
    MousePointer::Default();
    if (result != kResultOk) {
        WriteFailed();
        return false;
    }
    m_restarted = true;
    return true;
}

void frmSub_MultiCast::Unloading() {
    if (!m_restarted) {
        ShowSettingForm();
        return;
    }
    // The camera restarts: the tool goes back to the connect dialog.
    if (frmMain_Setting_Marten* setting = SettingForm()) setting->cmdCancel_Click();
    if (frmMain_IP* connect = ConnectForm()) connect->show();
}

}  // namespace kestcfg
