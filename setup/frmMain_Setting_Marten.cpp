#include "setup/frmMain_Setting_Marten.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <initializer_list>

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/Forms.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/SubDialogs.h"
#include "setup/frmMain_IP.h"
#include "setup/frmSub_Password.h"
#include "ui_frmMain_Setting_Marten.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("MAIN_SETTING_A");

QString Key(int key) {
    return GetLangString(kSection, QString::number(key));
}

const QString kCamIdChars =
    QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
constexpr int kCamIdLength = 8;
// SetCameraID takes the entry as a field of this many characters.
constexpr int kCamIdField = 9;
constexpr int kResetAttempts = 10;

void Enable(std::initializer_list<QWidget*> widgets, bool on) {
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

// The dotted text of four numbers.
QString Dotted(const QLineEdit* const boxes[4]) {
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << QString::number(LeadingNumber(boxes[i]->text().trimmed()));
    return parts.join(QLatin1Char('.'));
}

bool NotDigitsOrEmpty(const QString& text) {
    return text.isEmpty() || !IsAllDigits(text);
}

}  // namespace

frmMain_Setting_Marten::frmMain_Setting_Marten(QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmMain_Setting_Marten>()) {
    m_ui->setupUi(this);
    // The octet boxes, a row at a time.
    for (const char* prefix : {"txtIP", "txtSub", "txtGateIP"}) {
        for (int i = 0; i < 4; ++i) {
            QLineEdit* box = row(prefix, i);
            QLineEdit* next = i < 3 ? row(prefix, i + 1) : nullptr;
            SelectOnFocus(box, 0, 3);
            KeyFilter::acceptOnly(box, kDigits)->setOnKey([box] {
                QPalette red = box->palette();
                red.setColor(QPalette::Text, Qt::red);
                box->setPalette(red);
            });
            connect(box, &QLineEdit::textChanged, this,
                    [this, box, next] { OctetChange(box, next); });
        }
    }
    QLineEdit* camId = m_ui->txtCamID;
    SelectOnFocus(camId, 0, kCamIdLength);
    KeyFilter::acceptOnly(camId, kCamIdChars)->setOnKey([camId] {
        QPalette red = camId->palette();
        red.setColor(QPalette::Text, Qt::red);
        camId->setPalette(red);
    });
    connect(camId, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == kCamIdLength && m_ui->txtCamID->isVisible()) m_ui->cmdOK->setFocus();
    });

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmMain_Setting_Marten::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmMain_Setting_Marten::cmdCancel_Click);
    QPushButton* passwords[] = {m_ui->cmdSetPassword_0, m_ui->cmdSetPassword_1,
                                m_ui->cmdSetPassword_2};
    for (int i = 0; i < 3; ++i) {
        connect(passwords[i], &QPushButton::clicked, this, [this, i] { cmdSetPassword_Click(i); });
    }
    connect(m_ui->OptDHCP, &QRadioButton::clicked, this, &frmMain_Setting_Marten::OptDHCP_Click);
    connect(m_ui->OptDHCP_OFF, &QRadioButton::clicked, this,
            &frmMain_Setting_Marten::OptDHCP_OFF_Click);
    connect(m_ui->optMode_Jpeg, &QRadioButton::clicked, this,
            &frmMain_Setting_Marten::optMode_Jpeg_Click);
    connect(m_ui->optMode_Mpeg4, &QRadioButton::clicked, this,
            &frmMain_Setting_Marten::optMode_Mpeg4_Click);
    const std::pair<QPushButton*, const char*> dialogs[] = {
        {m_ui->cmdDHCP, "frmSub_DHCP"},
        {m_ui->cmdDefaultPage, "frmSub_Web"},
        {m_ui->cmdFTP_Server, "frmSub_FTPServer"},
        {m_ui->cmdFTP, "frmSub_FTPSetting_Sable"},
        {m_ui->cmdMultiCast, "frmSub_MultiCast"},
        {m_ui->cmdMPEG4_Setting, "frmSub_Mpeg4_Setting"},
        {m_ui->cmdNTP, "frmSub_NTP"},
        {m_ui->cmdSetTime, "frmSub_SetTime"},
        {m_ui->cmdMotionDetection, "frmView"},
        {m_ui->cmdAlarm, "frmAlmSet"},
        {m_ui->cmdRec, "frmSub_Recording"},
        {m_ui->cmdCFInfo, "frmSub_CFinfo"},
        {m_ui->cmdMemory, "frmSub_Memory_Info"},
    };
    for (const auto& [button, form] : dialogs) {
        const QString name = QLatin1String(form);
        connect(button, &QPushButton::clicked, this, [this, name] { OpenDialog(name); });
    }
    Form_Load();
}

frmMain_Setting_Marten::~frmMain_Setting_Marten() = default;

kest::qt::KestWidget* frmMain_Setting_Marten::settingControl() const {
    return m_ui->vn_Setting;
}

QLineEdit* frmMain_Setting_Marten::row(const char* prefix, int index) const {
    return findChild<QLineEdit*>(QStringLiteral("%1_%2").arg(QLatin1String(prefix)).arg(index));
}

int16_t frmMain_Setting_Marten::CallSetting(Method method, QVariantList& args) {
    m_result = Call(m_ui->vn_Setting, method, args);
    return m_result;
}

int16_t frmMain_Setting_Marten::CallSetting(Method method) {
    QVariantList none;
    return CallSetting(method, none);
}

void frmMain_Setting_Marten::Form_Load() {
    MousePointer::Hourglass();
    setWindowTitle(GetLangString(QLatin1String(kTitleSection), QStringLiteral("1")));
    m_ui->fraCurrent->setTitle(Key(1));
    m_ui->lblLabel_IP->setText(Key(2));
    m_ui->lblLabel_Mac->setText(Key(8));
    m_ui->lblLabel_CamID->setText(Key(3));
    m_ui->fraIpAddress->setTitle(Key(2));
    m_ui->fraSubnet->setTitle(Key(10));
    m_ui->FraDefaultGateway->setTitle(Key(20));
    m_ui->fraCamID->setTitle(Key(3));
    m_ui->fraPassword->setTitle(Key(7));
    m_ui->cmdSetPassword_0->setText(Key(24));
    m_ui->cmdSetPassword_1->setText(Key(12));
    m_ui->cmdSetPassword_2->setText(Key(13));
    m_ui->OptDHCP->setText(Key(34));
    m_ui->OptDHCP_OFF->setText(Key(35));
    m_ui->cmdDHCP->setText(Key(36));
    m_ui->fraPictMode->setTitle(Key(9));
    m_ui->optMode_Jpeg->setText(Key(15));
    m_ui->optMode_Mpeg4->setText(Key(14));
    m_ui->cmdMPEG4_Setting->setText(Key(33));
    const std::pair<QPushButton*, int> captions[] = {
        {m_ui->cmdAlarm, 22},       {m_ui->cmdMotionDetection, 25},
        {m_ui->cmdRec, 26},         {m_ui->cmdSetTime, 27},
        {m_ui->cmdCFInfo, 28},      {m_ui->cmdFTP, 29},
        {m_ui->cmdMultiCast, 30},   {m_ui->cmdFTP_Server, 31},
        {m_ui->cmdDefaultPage, 32}, {m_ui->cmdMemory, 37},
        {m_ui->cmdNTP, 27},
    };
    for (const auto& [button, key] : captions)
        button->setText(Key(key));
    // The camera clock and network time share their caption: tell them apart.
    m_ui->cmdSetTime->setToolTip(GetLangString(QLatin1String(kOwnSection), QStringLiteral("4")));
    m_ui->cmdNTP->setToolTip(GetLangString(QLatin1String(kOwnSection), QStringLiteral("5")));
    m_ui->cmdOK->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2")));
    PrepareControl(m_ui->vn_Setting);

    bool clean = true;
    m_ui->lblIpAddress->setText(QStringLiteral(": ") + Global::CameraAddress);
    for (int i = 0; i < 4; ++i)
        row("txtIP", i)->setText(QString::number(Global::SelectedOctets[size_t(i)]));

    QVariantList mac{QString()};
    clean &= CallSetting(Method::GetMacAddress, mac) == kResultOk;
    m_mac = mac.value(0).toString();
    m_ui->lblMacAddress->setText(QStringLiteral(": ") + m_mac);

    QVariantList id{QString()};
    if (CallSetting(Method::GetCameraID, id) == kResultOk) {
        m_cameraId = id.value(0).toString();
        m_ui->lblCamID->setText(QStringLiteral(": ") + m_cameraId);
        m_ui->txtCamID->setText(m_cameraId.trimmed());
    } else {
        clean = false;
    }

    const int16_t type = Global::TypeNumber;
    if (type == 11 || type == 13 || type == 20) {
        // The boxes take each part's number, and the stored texts are made
        // from the boxes, so OK compares like with like.
        const auto split = [this](const QString& text, const char* prefix) {
            const QStringList parts = text.split(QLatin1Char('.'));
            for (int i = 0; i < 4; ++i)
                row(prefix, i)->setText(QString::number(LeadingNumber(parts.value(i))));
        };
        QVariantList gateway{QString()};
        if (CallSetting(Method::GetDefaultGateway, gateway) == kResultOk) {
            split(gateway.value(0).toString(), "txtGateIP");
        } else {
            clean = false;
        }
        QVariantList mask{QString()};
        if (CallSetting(Method::GetSubnetMask, mask) == kResultOk) {
            split(mask.value(0).toString(), "txtSub");
        } else {
            clean = false;
        }
        QStringList g, m;
        for (int i = 0; i < 4; ++i) {
            g << row("txtGateIP", i)->text();
            m << row("txtSub", i)->text();
        }
        m_gateway = g.join(QLatin1Char('.'));
        m_mask = m.join(QLatin1Char('.'));
    }

    EnableByType();
    // One message for every read that failed.
    if (!clean || m_loadCallsFailed) ShowMessage(kMsgReadFailed);
    MousePointer::Default();
}

void frmMain_Setting_Marten::EnableByType() {
    auto& u = *m_ui;
    QWidget* subAndGate[] = {u.txtSub_0,    u.txtSub_1,    u.txtSub_2,    u.txtSub_3,
                             u.txtGateIP_0, u.txtGateIP_1, u.txtGateIP_2, u.txtGateIP_3};
    const auto boxes = [&](bool on) {
        for (QWidget* w : subAndGate)
            w->setEnabled(on);
    };
    const auto motion = [&] {
        QVariantList info{QVariant(), QVariant(), QVariant(), QVariant()};
        if (CallSetting(Method::GetMotionDetectInformation, info) != kResultOk) {
            m_loadCallsFailed = true;
        }
        m_motionDetect = int16_t(info.value(0).toInt());
        u.cmdMotionDetection->setEnabled(m_motionDetect != 0);
    };
    const int16_t version = Global::ProgramVersion;
    switch (Global::TypeNumber) {
        case 11: {
            Enable({u.OptDHCP, u.OptDHCP_OFF, u.cmdDHCP, u.cmdMPEG4_Setting, u.cmdDefaultPage,
                    u.cmdFTP_Server, u.cmdMotionDetection, u.cmdAlarm, u.cmdRec, u.cmdSetTime,
                    u.cmdCFInfo, u.cmdFTP, u.cmdMultiCast, u.cmdSetPassword_0, u.cmdSetPassword_1,
                    u.cmdSetPassword_2},
                   true);
            boxes(true);
            QVariantList dhcp{QVariant(), QVariant(), QByteArray(4, '\0'), QVariant(), QVariant()};
            if (CallSetting(Method::GetDHCP, dhcp) != kResultOk) m_loadCallsFailed = true;
            m_dhcp = dhcp.value(0).toInt() == 1 ? 1 : 0;
            // Selecting an option does what clicking it does.
            if (m_dhcp == 1) {
                u.OptDHCP->setChecked(true);
                OptDHCP_Click();
            } else {
                u.OptDHCP_OFF->setChecked(true);
                OptDHCP_OFF_Click();
            }
            motion();
            QVariantList mode{QVariant()};
            if (CallSetting(Method::GetImageMode, mode) != kResultOk) m_loadCallsFailed = true;
            m_imageMode = int16_t(mode.value(0).toInt());
            if (m_imageMode == 1) {
                u.optMode_Mpeg4->setChecked(true);
                Enable({u.cmdMPEG4_Setting}, true);
                Enable({u.cmdMotionDetection, u.cmdMultiCast, u.cmdRec}, false);
            } else {
                u.optMode_Jpeg->setChecked(true);
                Enable({u.cmdMPEG4_Setting}, false);
                Enable({u.cmdMultiCast}, true);
            }
            break;
        }
        case 20:
            Enable({u.OptDHCP, u.cmdDHCP, u.OptDHCP_OFF, u.cmdMPEG4_Setting, u.cmdDefaultPage,
                    u.cmdFTP_Server},
                   false);
            u.OptDHCP_OFF->setChecked(true);
            Enable({u.cmdAlarm, u.cmdRec, u.cmdSetTime, u.cmdCFInfo, u.cmdSetPassword_0,
                    u.cmdSetPassword_1, u.cmdSetPassword_2},
                   true);
            boxes(true);
            motion();
            u.cmdFTP->setEnabled(version >= 10);
            u.cmdMultiCast->setEnabled(version >= 20);
            break;
        case 13:
            Enable({u.OptDHCP, u.cmdDHCP, u.OptDHCP_OFF, u.cmdMPEG4_Setting, u.cmdDefaultPage,
                    u.cmdFTP_Server, u.cmdMotionDetection, u.cmdRec, u.cmdSetTime, u.cmdCFInfo,
                    u.cmdMultiCast},
                   false);
            Enable({u.cmdAlarm, u.cmdSetPassword_0, u.cmdSetPassword_1, u.cmdSetPassword_2}, true);
            boxes(true);
            u.cmdFTP->setEnabled(version >= 30);
            break;
        case 1:
        case 2:
        case 3:
            Enable({u.OptDHCP, u.cmdDHCP, u.OptDHCP_OFF, u.cmdSetPassword_0, u.cmdSetPassword_1,
                    u.cmdMultiCast, u.cmdMPEG4_Setting, u.cmdDefaultPage, u.cmdFTP_Server,
                    u.cmdMotionDetection, u.cmdRec, u.cmdCFInfo, u.cmdFTP, u.cmdSetTime},
                   false);
            boxes(false);
            u.cmdAlarm->setEnabled(Global::TypeNumber == 3);
            break;
        default:
            break;
    }
}

void frmMain_Setting_Marten::SetAddressBoxesEnabled(bool on) {
    for (const char* prefix : {"txtIP", "txtSub", "txtGateIP"}) {
        for (int i = 0; i < 4; ++i)
            row(prefix, i)->setEnabled(on);
    }
}

void frmMain_Setting_Marten::OctetChange(QLineEdit* box, QLineEdit* next) {
    if (!IsAllDigits(box->text())) {
        box->clear();
        return;
    }
    if (box->text().size() == 3 && box->isVisible() && next) next->setFocus();
}

void frmMain_Setting_Marten::OptDHCP_Click() {
    m_ui->cmdDHCP->setEnabled(true);
    SetAddressBoxesEnabled(false);
}

void frmMain_Setting_Marten::OptDHCP_OFF_Click() {
    m_ui->cmdDHCP->setEnabled(false);
    SetAddressBoxesEnabled(true);
}

void frmMain_Setting_Marten::optMode_Jpeg_Click() {
    m_ui->cmdMPEG4_Setting->setEnabled(false);
}

void frmMain_Setting_Marten::optMode_Mpeg4_Click() {
    m_ui->cmdMPEG4_Setting->setEnabled(true);
}

void frmMain_Setting_Marten::cmdSetPassword_Click(int index) {
    Global::PasswordSlot = int16_t(index);
    frmSub_Password dialog(m_ui->vn_Setting, this);
    dialog.exec();
}

void frmMain_Setting_Marten::OpenDialog(const QString& form) {
    if (OpenSubDialog(form)) hide();
}

void frmMain_Setting_Marten::Fail() {
    MousePointer::Default();
    ShowMessage(kMsgWriteFailed);
}

void frmMain_Setting_Marten::cmdOK_Click() {
    auto& u = *m_ui;
    // 1: the camera ID's length.
    if (u.txtCamID->text().size() > kCamIdLength) {
        ShowMessage(221);
        u.txtCamID->setFocus();
        return;
    }
    // 2.
    if (ShowMessage(kMsgApplySettings) != 1) return;

    CameraChange change;
    change.oldAddress = Global::CameraAddress;
    bool restart = false;
    MousePointer::Hourglass();
    // 3: the picture mode.
    const int16_t mode = u.optMode_Mpeg4->isChecked() ? 1 : 0;
    if (mode != m_imageMode) {
        MousePointer::Default();
        if (ShowMessage(119) != 1) return;
        MousePointer::Hourglass();
        QVariantList args{int(mode)};
        if (CallSetting(Method::SetImageMode, args) != kResultOk) return Fail();
        m_imageMode = mode;
        restart = true;
    }
    // 4: DHCP.
    const int16_t dhcp = u.OptDHCP->isChecked() ? 1 : 0;
    if (dhcp != m_dhcp) {
        QVariantList args{int(dhcp)};
        if (CallSetting(Method::SetDHCP, args) != kResultOk) return Fail();
        m_dhcp = dhcp;
        restart = true;
    }
    change.dhcp = dhcp == 1;
    // 5 to 8: the address, mask and gateway, unless DHCP gives them.
    if (u.OptDHCP->isChecked()) {
        SetAddressBoxesEnabled(false);
    } else {
        const int16_t type = Global::TypeNumber;
        // 6: the address.
        for (int i = 0; i < 4; ++i) {
            QLineEdit* box = row("txtIP", i);
            const QString text = box->text();
            const int32_t value = LeadingNumber(text);
            bool bad =
                text.isEmpty() || (!IsAllDigits(text) && value == 0) || value < 0 || value > 255;
            if (i == 0) bad = bad || value < 1 || value > 223;
            if (i == 3) bad = bad || value < 1 || value > 254;
            if (bad) {
                MousePointer::Default();
                ShowMessage(kMsgBadAddress);
                box->setFocus();
                return;
            }
        }
        // 7: mask and gateway, where the camera has them.
        if (type > 3) {
            int zeros = 0, full = 0;
            for (int i = 0; i < 4; ++i) {
                QLineEdit* box = row("txtSub", i);
                const int32_t value = LeadingNumber(box->text());
                const bool bad =
                    NotDigitsOrEmpty(box->text()) || value > 255 || (i == 3 && value == 255);
                zeros += value == 0;
                full += value == 255;
                if (bad || (i == 3 && (zeros == 4 || full == 4))) {
                    MousePointer::Default();
                    ShowMessage(222);
                    (bad ? box : row("txtSub", 0))->setFocus();
                    return;
                }
            }
            for (int i = 0; i < 4; ++i) {
                QLineEdit* box = row("txtGateIP", i);
                if (NotDigitsOrEmpty(box->text()) || LeadingNumber(box->text()) > 255) {
                    MousePointer::Default();
                    ShowMessage(228);
                    box->setFocus();
                    return;
                }
            }
        }
        // 8: write what changed. The texts are the boxes' numbers, so
        // leading zeros typed into a box are no change.
        const QLineEdit* ip[4] = {row("txtIP", 0), row("txtIP", 1), row("txtIP", 2),
                                  row("txtIP", 3)};
        const QLineEdit* sub[4] = {row("txtSub", 0), row("txtSub", 1), row("txtSub", 2),
                                   row("txtSub", 3)};
        const QLineEdit* gate[4] = {row("txtGateIP", 0), row("txtGateIP", 1), row("txtGateIP", 2),
                                    row("txtGateIP", 3)};
        const QString address = Dotted(ip), mask = Dotted(sub), gateway = Dotted(gate);
        if (type > 3) {
            if (mask != m_mask) {
                QVariantList args{mask};
                if (CallSetting(Method::SetSubnetMask, args) != kResultOk) return Fail();
                m_mask = mask;
                change.mask = mask;
                restart = true;
            }
            if (gateway != m_gateway) {
                QVariantList args{gateway};
                if (CallSetting(Method::SetDefaultGateway, args) != kResultOk) return Fail();
                m_gateway = gateway;
                change.gateway = gateway;
                restart = true;
            }
        }
        if (address != Global::CameraAddress) {
            QVariantList args{address};
            if (CallSetting(Method::SetNewIPAddress, args) != kResultOk) return Fail();
            Global::CameraAddress = address;
            restart = true;
        }
    }
    // 9: the camera ID, as a field of 9 characters; no restart for it alone.
    const QString id = u.txtCamID->text().left(kCamIdLength);
    if (id.trimmed() != m_cameraId.trimmed()) {
        QVariantList args{id.leftJustified(kCamIdField, QLatin1Char(' '))};
        if (CallSetting(Method::SetCameraID, args) != kResultOk) return Fail();
        m_cameraId = id;
        u.lblCamID->setText(QStringLiteral(": ") + id);
    }
    // 10: restart the camera for the new settings.
    if (restart) {
        bool done = false;
        for (int attempt = 0; attempt < kResetAttempts && !done; ++attempt)
            done = CallSetting(Method::ResetCamera) == kResultOk;
        if (!done) return Fail();
    }
    MousePointer::Default();
    change.restarted = restart;
    change.newAddress = Global::CameraAddress;
    emit applied(change);
    // 11.
    Unload();
}

void frmMain_Setting_Marten::Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    hide();
    if (frmMain_IP* connectDialog = ConnectForm()) connectDialog->show();
    deleteLater();
}

void frmMain_Setting_Marten::cmdCancel_Click() {
    Unload();
}

void frmMain_Setting_Marten::reject() {
    cmdCancel_Click();
}

void frmMain_Setting_Marten::closeEvent(QCloseEvent* event) {
    event->accept();
    Unload();
}

}  // namespace kestcfg
