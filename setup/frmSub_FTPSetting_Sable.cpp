#include "setup/frmSub_FTPSetting_Sable.h"

#include "kest_records.h"
#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "setup/RecordBytes.h"
#include "ui_frmSub_FTPSetting_Sable.h"

namespace kestcfg {

namespace {

constexpr int kMaxUploadInterval = 86400;
constexpr int kMinRetry = 1;
constexpr int kMaxRetry = 600;

// A box whose text is not a number from low to high.
bool OutOfRange(const QLineEdit* box, int low, int high) {
    const QString text = box->text();
    const int32_t value = LeadingNumber(text);
    return text.isEmpty() || !IsAllDigits(text) || value < low || value > high;
}

}  // namespace

frmSub_FTPSetting_Sable::frmSub_FTPSetting_Sable(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_FTPSetting_Sable>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_FTP, QStringLiteral("SUB_FTP_A"));
    QLineEdit* const server[] = {m_ui->txtIPAd_0, m_ui->txtIPAd_1, m_ui->txtIPAd_2,
                                 m_ui->txtIPAd_3};
    AddressRow(server);
    for (QLineEdit* box : {m_ui->txtFTP_Port, m_ui->txtUpload, m_ui->txtRetry})
        KeyFilter::acceptOnly(box, kDigits);
    KeyFilter::refuse(m_ui->txtFTP_Folder, QStringLiteral(":/,;*?\"<>|"));
    Form_Load();
}

frmSub_FTPSetting_Sable::~frmSub_FTPSetting_Sable() = default;

void frmSub_FTPSetting_Sable::Form_Load() {
    auto& u = *m_ui;
    setWindowTitle(Key(1));
    u.frFTP->setTitle(Key(2));
    u.optFTP_ON->setText(Key(3));
    u.optFTP_OFF->setText(Key(4));
    u.frUserName->setTitle(Key(5));
    u.lblUserName_Char->setText(Key(6));
    u.frPassword->setTitle(Key(7));
    u.lblPassword_Char->setText(Key(8));
    u.frServerIP->setTitle(Key(9));
    u.frFTP_Port->setTitle(Key(10));
    u.lblFTP_Port_Default->setText(Key(11));
    u.frFTP_Folder->setTitle(Key(12));
    u.lblFTP_Folder_Char->setText(Key(13));
    u.frUpload->setTitle(Key(14));
    u.lblUpload_Sec->setText(Key(15));
    u.chkFTP_Disconnect->setText(Key(16));
    u.frFTP_Error->setTitle(Key(17));
    u.frConnectError->setTitle(Key(18));
    u.optRetry_Infinite->setText(Key(19));
    u.optRetry->setText(Key(20));
    u.lblRetry_Period->setText(Key(20));
    // The option already shows this caption beside its box.
    u.lblRetry_Period->hide();
    u.frTransError->setTitle(Key(21));
    u.chkFTP_Unavailable->setText(Key(22));
    u.frFileName->setTitle(Key(23));
    u.lblExtension->setText(Key(24));
    u.lblFileName_Char->setText(Key(25));
    u.optTimeStamp->setText(Key(26));

    QVariantList init{QVariant(), QVariant(), QByteArray(4, '\0'),
                      QByteArray(KEST_FTPSETTING_SIZE, '\0')};
    if (CallControl(Method::GetFTPInit, init) != kResultOk) {
        LoadFailed();
        return;
    }
    m_setting = init.value(3).toByteArray();
    const RecordBytes r(m_setting, KEST_FTPSETTING_SIZE);
    (init.value(0).toInt() == 1 ? u.optFTP_ON : u.optFTP_OFF)->setChecked(true);
    u.txtFTP_Port->setText(QString::number(uint16_t(init.value(1).toInt())));
    const RecordBytes server(init.value(2).toByteArray(), 4);
    QLineEdit* boxes[] = {u.txtIPAd_0, u.txtIPAd_1, u.txtIPAd_2, u.txtIPAd_3};
    for (int i = 0; i < 4; ++i)
        boxes[i]->setText(QString::number(server.address(0)[size_t(i)]));
    u.txtUserName->setText(r.text(KEST_FTPSETTING_USER_NAME, KEST_FTPSETTING_USER_NAME_WIDTH));
    u.txtPassword->setText(r.text(KEST_FTPSETTING_PASSWORD, KEST_FTPSETTING_PASSWORD_WIDTH));
    u.txtFTP_Folder->setText(r.text(KEST_FTPSETTING_FOLDER, KEST_FTPSETTING_FOLDER_WIDTH));
    u.txtUpload->setText(QString::number(
        r.integer(KEST_FTPSETTING_UPLOAD_INTERVAL, KEST_FTPSETTING_UPLOAD_INTERVAL_WIDTH)));
    u.chkFTP_Disconnect->setChecked(
        r.integer(KEST_FTPSETTING_DISCONNECT, KEST_FTPSETTING_DISCONNECT_WIDTH) != 0);
    const int64_t retry =
        r.integer(KEST_FTPSETTING_RETRY_PERIOD, KEST_FTPSETTING_RETRY_PERIOD_WIDTH);
    if (retry == 0) {
        u.optRetry_Infinite->setChecked(true);
    } else {
        u.optRetry->setChecked(true);
        u.txtRetry->setText(QString::number(retry));
    }
    u.chkFTP_Unavailable->setChecked(
        r.integer(KEST_FTPSETTING_STOP_UNAVAILABLE, KEST_FTPSETTING_STOP_UNAVAILABLE_WIDTH) != 0);
    const QString fileName = r.text(KEST_FTPSETTING_FILE_NAME, KEST_FTPSETTING_FILE_NAME_WIDTH);
    (fileName.isEmpty() ? u.optTimeStamp : u.optFileName)->setChecked(true);
    u.txtFileName->setText(fileName);
    WatchChanges();
}

bool frmSub_FTPSetting_Sable::Apply() {
    auto& u = *m_ui;
    QLineEdit* boxes[] = {u.txtIPAd_0, u.txtIPAd_1, u.txtIPAd_2, u.txtIPAd_3};
    const bool on = u.optFTP_ON->isChecked();
    if (on) {
        const auto refuse = [](int message, QLineEdit* box) {
            ShowMessage(int16_t(message));
            box->setFocus();
            return false;
        };
        for (QLineEdit* box : boxes) {
            if (OutOfRange(box, 0, 255)) return refuse(kMsgBadAddress, box);
        }
        const int32_t last = LeadingNumber(u.txtIPAd_3->text());
        if (last == 0 || last == 255) return refuse(251, u.txtIPAd_3);
        if (OutOfRange(u.txtFTP_Port, 1, 65535)) return refuse(238, u.txtFTP_Port);
        if (OutOfRange(u.txtUpload, 0, kMaxUploadInterval)) return refuse(239, u.txtUpload);
        if (u.optRetry->isChecked() && OutOfRange(u.txtRetry, kMinRetry, kMaxRetry)) {
            return refuse(240, u.txtRetry);
        }
        if (u.optFileName->isChecked() && u.txtFileName->text().isEmpty()) {
            return refuse(241, u.txtFileName);
        }
    }
    // The record, from the fields; the bytes the dialog does not fill stay
    // as the camera gave them.
    RecordBytes r(m_setting, KEST_FTPSETTING_SIZE);
    r.setInteger(KEST_FTPSETTING_UPLOAD_INTERVAL, KEST_FTPSETTING_UPLOAD_INTERVAL_WIDTH,
                 LeadingNumber(u.txtUpload->text()));
    r.setInteger(KEST_FTPSETTING_DISCONNECT, KEST_FTPSETTING_DISCONNECT_WIDTH,
                 u.chkFTP_Disconnect->isChecked() ? 1 : 0);
    r.setInteger(KEST_FTPSETTING_RETRY_PERIOD, KEST_FTPSETTING_RETRY_PERIOD_WIDTH,
                 u.optRetry->isChecked() ? LeadingNumber(u.txtRetry->text()) : 0);
    r.setInteger(KEST_FTPSETTING_STOP_UNAVAILABLE, KEST_FTPSETTING_STOP_UNAVAILABLE_WIDTH,
                 u.chkFTP_Unavailable->isChecked() ? 1 : 0);
    r.setText(KEST_FTPSETTING_USER_NAME, KEST_FTPSETTING_USER_NAME_WIDTH, u.txtUserName->text());
    r.setText(KEST_FTPSETTING_PASSWORD, KEST_FTPSETTING_PASSWORD_WIDTH, u.txtPassword->text());
    r.setText(KEST_FTPSETTING_FOLDER, KEST_FTPSETTING_FOLDER_WIDTH, u.txtFTP_Folder->text());
    r.setText(KEST_FTPSETTING_FILE_NAME, KEST_FTPSETTING_FILE_NAME_WIDTH,
              u.optFileName->isChecked() ? u.txtFileName->text() : QString());
    RecordBytes server(4);
    std::array<uint8_t, 4> address{};
    for (int i = 0; i < 4; ++i)
        address[size_t(i)] = uint8_t(std::clamp(LeadingNumber(boxes[i]->text()), 0, 255));
    server.setAddress(0, address);
    const int32_t port = std::clamp(LeadingNumber(u.txtFTP_Port->text()), 0, 65535);
    QVariantList init{on ? 1 : 0, int(int16_t(uint16_t(port))), server.bytes(), r.bytes()};
    if (!Write(Method::SetFTPInit, init)) return false;
    m_setting = r.bytes();
    return true;
}

}  // namespace kestcfg
