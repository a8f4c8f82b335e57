#include "setup/frmMain_IP.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>

#include "setup/Common_Function.h"
#include "setup/Cport_Function.h"
#include "setup/EntryRules.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/frmMain_Setting_Marten.h"
#include "setup/frmWork_KestSearch.h"
#include "ui_frmMain_IP.h"

namespace kestcfg {

namespace {

frmMain_IP* g_instance = nullptr;

const QString kSection = QStringLiteral("MAIN_IP_A");

// How long a restarted camera is waited for, and how often it is asked.
constexpr int kFollowSeconds = 60;
constexpr int kFollowIntervalMs = 1000;

QString Own(int key) {
    return GetLangString(QLatin1String(kOwnSection), QString::number(key));
}

bool Loopback(const QString& address) {
    int16_t octets[4];
    return SplitAddress(address, octets) && octets[0] == 127;
}

bool SameAddress(const QString& a, const QString& b) {
    int16_t x[4], y[4];
    return SplitAddress(a, x) && SplitAddress(b, y) && std::equal(x, x + 4, y);
}

}  // namespace

ConnectAddress CheckConnectAddress(const std::array<QString, 4>& boxes) {
    ConnectAddress out;
    for (int i = 0; i < 4; ++i) {
        const QString& text = boxes[size_t(i)];
        const int32_t value = LeadingNumber(text);
        const bool bad = text.isEmpty() || (!IsAllDigits(text) && value == 0) || value < 0 ||
                         value > 255 || (i == 3 && (value == 0 || value >= 255));
        if (bad) {
            out.badBox = i;
            return out;
        }
        out.octets[size_t(i)] = int16_t(value);
    }
    // The first box keeps its text (and so its leading zeros), the others
    // their numbers.
    out.address = boxes[0].trimmed();
    for (int i = 1; i < 4; ++i)
        out.address += QLatin1Char('.') + QString::number(out.octets[size_t(i)]);
    return out;
}

frmMain_IP::frmMain_IP(QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmMain_IP>()), m_followTimer(new QTimer(this)) {
    m_ui->setupUi(this);
    m_followTimer->setInterval(kFollowIntervalMs);
    connect(m_followTimer, &QTimer::timeout, this, &frmMain_IP::FollowTick);
    connect(m_ui->cmdFollowStop, &QPushButton::clicked, this, &frmMain_IP::cmdFollowStop_Click);
    connect(m_ui->vn_MainIP, &kest::qt::KestWidget::backgroundCallFinished, this,
            [this](int dispid, int result, const QVariantList& args, const QString&) {
                FollowAnswer(dispid, result, args);
            });
    g_instance = this;
    for (int i = 0; i < 4; ++i) {
        QLineEdit* b = box(i);
        SelectOnFocus(b, 0, 3);
        KeyFilter* filter = KeyFilter::acceptOnly(b, kDigits);
        if (i < 3) {
            // A "." moves on to the next octet.
            filter->setBeforeKey([this, i](QChar c) {
                if (c != QLatin1Char('.')) return false;
                box(i + 1)->setFocus();
                return true;
            });
        }
        connect(b, &QLineEdit::textChanged, this, [this, i] { txtIP_Change(i); });
    }
    KeyFilter::acceptOnly(m_ui->TextTimeOut, kDigits);
    m_ui->UpDownTimeOut->setBuddy(m_ui->TextTimeOut);
    m_ui->UpDownTimeOut->setRange(0, 9999);
    connect(m_ui->TextTimeOut, &QLineEdit::editingFinished, this,
            &frmMain_IP::TextTimeOut_LostFocus);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmMain_IP::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmMain_IP::cmdCancel_Click);
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &frmMain_IP::cmdSearch_Click);
    Form_Load();
}

frmMain_IP::~frmMain_IP() {
    delete m_setting;
    if (g_instance == this) g_instance = nullptr;
}

frmMain_IP* frmMain_IP::instance() {
    return g_instance;
}

frmMain_Setting_Marten* frmMain_IP::settingForm() const {
    return m_setting;
}

frmWork_KestSearch* frmMain_IP::searchForm() const {
    return m_search;
}

kest::qt::KestWidget* frmMain_IP::connectControl() const {
    return m_ui->vn_MainIP;
}

QLineEdit* frmMain_IP::box(int index) const {
    QLineEdit* boxes[] = {m_ui->txtIP_0, m_ui->txtIP_1, m_ui->txtIP_2, m_ui->txtIP_3};
    return boxes[index];
}

void frmMain_IP::Form_Load() {
    setWindowTitle(GetLangString(QLatin1String(kTitleSection), QStringLiteral("1")));
    m_ui->lblKestStart->setText(GetLangString(kSection, QStringLiteral("1")));
    m_ui->LabelIPaddress->setText(GetLangString(kSection, QStringLiteral("2")));
    m_ui->LabelConnectTimeout->setText(GetLangString(kSection, QStringLiteral("3")));
    m_ui->LabelSec->setText(GetLangString(kSection, QStringLiteral("4")));
    m_ui->cmdOK->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2")));
    m_ui->cmdSearch->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("8")));
    // The time-out in use is always the settings file's.
    m_ui->FrameTimeOut->setVisible(false);
    m_ui->cmdFollowStop->setText(Own(13));
    SetStatus(QString());
    SetControl(m_ui->vn_MainIP, Property::Timeout, int(Global::ConnectTimeout));
    Global::CameraPassword = QString();
    // The last address used, so that the installer reconnects with one key.
    fillAddress(GetSetting(QStringLiteral("SetUpTool"), QStringLiteral("IpAddress"), QString()));
}

bool frmMain_IP::fillAddress(const QString& address) {
    int16_t octets[4];
    QString texts[4];
    if (!SplitAddress(address, octets, texts)) return false;
    for (int i = 0; i < 4; ++i)
        box(i)->setText(texts[i]);
    return true;
}

void frmMain_IP::showEvent(QShowEvent* event) {
    SetupForm::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_ui->txtIP_0->setFocus();
    }
}

void frmMain_IP::txtIP_Change(int index) {
    QLineEdit* b = box(index);
    if (!IsAllDigits(b->text())) {
        b->clear();
        return;
    }
    if (b->text().size() == 3 && b->isVisible()) {
        if (index < 3) {
            box(index + 1)->setFocus();
        } else {
            m_ui->cmdOK->setFocus();
        }
    }
}

void frmMain_IP::TextTimeOut_LostFocus() {
    const int32_t value = LeadingNumber(m_ui->TextTimeOut->text());
    if (value == 0) m_ui->TextTimeOut->setText(QStringLiteral("0"));
    if (value > 9999) m_ui->TextTimeOut->setText(QStringLiteral("9999"));
}

void frmMain_IP::cmdSearch_Click() {
    if (!m_search) m_search = new frmWork_KestSearch(this);
    m_search->exec();
    const auto& octets = Global::SelectedOctets;
    const bool any = octets[0] != 0 || octets[1] != 0 || octets[2] != 0 || octets[3] != 0;
    if (Global::SearchCancelled || !any) return;
    for (int i = 0; i < 4; ++i)
        box(i)->setText(QString::number(octets[size_t(i)]));
    m_ui->cmdOK->setFocus();
}

void frmMain_IP::cmdOK_Click() {
    // A new attempt: the installer no longer waits for a restarted camera.
    StopFollowing();
    SetStatus(QString());
    // 1 and 2: the octets, then the address.
    std::array<QString, 4> texts;
    for (int i = 0; i < 4; ++i)
        texts[size_t(i)] = box(i)->text();
    const ConnectAddress checked = CheckConnectAddress(texts);
    if (checked.badBox >= 0) {
        ShowMessage(kMsgBadAddress);
        box(checked.badBox)->setFocus();
        return;
    }
    Global::CameraAddress = checked.address;
    Global::SelectedOctets = checked.octets;

    // 3 and 4: identify the camera.
    kest::qt::KestWidget* control = m_ui->vn_MainIP;
    SetControl(control, Property::RemoteIPAddress, Global::CameraAddress);
    SetControl(control, Property::Password, Global::CameraPassword.text());
    Global::PasswordEntered = false;
    MousePointer::Hourglass();
    QVariantList version{QVariant(), QVariant()};
    const int16_t result = Call(control, Method::GetVersion, version);
    if (result == kResultNoAnswer) {
        MousePointer::Default();
        ShowMessage(kMsgNoAnswer);
        return;
    }
    if (result == kResultOk || result == kResultNoCamera) {
        Global::TypeNumber = int16_t(version.value(0).toInt());
        Global::ProgramVersion = int16_t(version.value(1).toInt());
        if (Global::TypeNumber != kSupportedTypeNumber) {
            MousePointer::Default();
            ShowMessage(kMsgNotSupported);
            return;
        }
    } else {
        // Nothing was learnt of the camera: stop at the first message rather
        // than go on with an earlier camera's type.
        MousePointer::Default();
        ShowMessage(kMsgCommunication);
        return;
    }

    // 5: remember the address as typed.
    SaveSetting(QStringLiteral("SetUpTool"), QStringLiteral("IpAddress"),
                texts[0] + QLatin1Char('.') + texts[1] + QLatin1Char('.') + texts[2] +
                    QLatin1Char('.') + texts[3]);
    Global::PasswordRetry = false;

    // 6: the super password, asked for again while it is wrong.
    bool checkedOk = false;
    for (;;) {
        if (Global::TypeNumber <= 3) {
            MousePointer::Default();
            ShowMessage(kMsgCommunication);
            return;
        }
        QVariantList check{int(kPasswordLevel), Global::CameraPassword.text()};
        const int16_t status = Call(control, Method::CheckPassword, check);
        SetControl(control, Property::Password, Global::CameraPassword.text());
        if (status == kResultRefused) {
            int16_t code = kCodePasswordWrong;
            if (HandleResult(code)) {
                MousePointer::Hourglass();
                continue;
            }
            break;
        }
        if (status != kResultOk) {
            MousePointer::Default();
            ShowMessage(kMsgCommunication);
            return;
        }
        checkedOk = true;
        break;
    }

    // 7: on to the main settings form.
    if (checkedOk) {
        MousePointer::Default();
        delete m_search;
        showSettingForm();
    }
    // 8: after a password prompt answered with OK.
    if (Global::PasswordEntered) {
        Global::PasswordRetry = false;
        MousePointer::Hourglass();
        Call(control, Method::StopDownloading);
        if (checkedOk) showSettingForm();
    }
    MousePointer::Default();
}

void frmMain_IP::showSettingForm() {
    hide();
    if (!m_setting) {
        m_setting = new frmMain_Setting_Marten();
        connect(m_setting, &frmMain_Setting_Marten::applied, this, &frmMain_IP::FollowCamera);
    }
    m_setting->show();
    m_setting->raise();
    m_setting->activateWindow();
}

QString frmMain_IP::statusText() const {
    return m_ui->lblConnectStatus->text();
}

void frmMain_IP::SetStatus(const QString& text) {
    m_ui->lblConnectStatus->setText(text);
    m_ui->lblConnectStatus->setVisible(!text.isEmpty());
    m_ui->cmdFollowStop->setVisible(m_stage != Stage::kIdle);
}

void frmMain_IP::FollowCamera(const CameraChange& change) {
    StopFollowing();
    if (!change.restarted) return;
    if (change.dhcp) {
        // The address is the DHCP server's choice: only a search finds it.
        SetStatus(Own(9));
        m_ui->cmdSearch->setFocus();
        return;
    }
    fillAddress(change.newAddress);
    if (Global::DemoMode && !Loopback(change.newAddress)) {
        SetStatus(Own(14).arg(change.newAddress));
        return;
    }
    m_follow = change;
    m_differences.clear();
    m_stage = Stage::kWaiting;
    m_followClock.start();
    m_followTimer->start();
    FollowTick();
}

void frmMain_IP::FollowCall(Method method, const QVariantList& args) {
    kest::qt::KestWidget* control = m_ui->vn_MainIP;
    SetControl(control, Property::RemoteIPAddress, m_follow.newAddress);
    SetControl(control, Property::Timeout, int(Global::ConnectTimeout));
    SetControl(control, Property::Password, Global::CameraPassword.text());
    control->callInBackground(int(method), args);
}

void frmMain_IP::FollowTick() {
    if (m_stage == Stage::kIdle) return;
    const qint64 waited = m_followClock.elapsed() / 1000;
    if (m_stage == Stage::kWaiting && !m_ui->vn_MainIP->backgroundCallRunning()) {
        if (waited >= kFollowSeconds) {
            StopFollowing();
            SetStatus(Own(8).arg(m_follow.newAddress).arg(kFollowSeconds));
            return;
        }
        FollowCall(Method::GetVersion, {QVariant(), QVariant()});
    }
    if (m_stage == Stage::kWaiting) {
        SetStatus(Own(6).arg(m_follow.newAddress).arg(kFollowSeconds - waited));
    }
}

void frmMain_IP::FollowAnswer(int dispid, int result, const QVariantList& args) {
    switch (m_stage) {
        case Stage::kIdle:
            return;
        case Stage::kWaiting:
            if (dispid != int(Method::GetVersion) || result != kResultOk) return;  // ask again
            break;
        case Stage::kMask:
        case Stage::kGateway: {
            const bool mask = m_stage == Stage::kMask;
            const QString set = mask ? m_follow.mask : m_follow.gateway;
            const QString read = args.value(0).toString();
            if (result != kResultOk || !SameAddress(read, set)) {
                m_differences << Own(10).arg(m_follow.newAddress, Own(mask ? 11 : 12),
                                             result == kResultOk ? read : QStringLiteral("?"), set);
            }
            if (mask)
                m_follow.mask.clear();
            else
                m_follow.gateway.clear();
            break;
        }
    }
    // The camera answers: read back what the restart was to apply.
    if (!m_follow.mask.isEmpty()) {
        m_stage = Stage::kMask;
        FollowCall(Method::GetSubnetMask, {QString()});
        return;
    }
    if (!m_follow.gateway.isEmpty()) {
        m_stage = Stage::kGateway;
        FollowCall(Method::GetDefaultGateway, {QString()});
        return;
    }
    StopFollowing();
    SetStatus(m_differences.isEmpty() ? Own(7).arg(m_follow.newAddress)
                                      : m_differences.join(QLatin1Char(' ')));
}

void frmMain_IP::StopFollowing() {
    m_stage = Stage::kIdle;
    m_followTimer->stop();
    m_ui->cmdFollowStop->setVisible(false);
}

void frmMain_IP::cmdFollowStop_Click() {
    StopFollowing();
    SetStatus(Own(15));
}

void frmMain_IP::cmdCancel_Click() {
    hide();
    emit programEnded();
}

void frmMain_IP::reject() {
    cmdCancel_Click();
}

void frmMain_IP::closeEvent(QCloseEvent* event) {
    if (ShowMessage(kMsgQuit) != 1) {
        event->ignore();
        return;
    }
    delete m_search;
    event->accept();
    emit programEnded();
}

}  // namespace kestcfg
