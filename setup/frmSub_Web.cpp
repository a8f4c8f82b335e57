#include "setup/frmSub_Web.h"

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "ui_frmSub_Web.h"

namespace kestcfg {

namespace {

// HTTP settings by sub-command.
constexpr int kCacheSetting = 2;
constexpr int kDefaultPageSetting = 3;
// The default page's name, with its closing zero.
constexpr int kPageNameBuffer = 32;

}  // namespace

frmSub_Web::frmSub_Web(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_Web>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_DefaultPage, QStringLiteral("SUB_WEB_A"));
    KeyFilter::refuse(m_ui->txtFileName, QStringLiteral("/\\:,;*?\"<>|"));
    KeyFilter::acceptOnly(m_ui->txtPort, kDigits);
    connect(m_ui->optDefaultPageOn, &QRadioButton::clicked, this,
            &frmSub_Web::optDefaultPageOn_Click);
    connect(m_ui->optDefaultPageOFF, &QRadioButton::clicked, this,
            &frmSub_Web::optDefaultPageOFF_Click);
    Form_Load();
}

frmSub_Web::~frmSub_Web() = default;

void frmSub_Web::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->fraDefaultPage->setTitle(Key(2));
    m_ui->optDefaultPageOn->setText(Key(3));
    m_ui->optDefaultPageOFF->setText(Key(4));
    m_ui->lblDir->setText(Key(5));
    m_ui->lbl_html->setText(Key(6));
    m_ui->lblMaxChar->setText(Key(7));
    m_ui->fraHttpPort->setTitle(Key(8));
    m_ui->lblPort->setText(Key(9));
    m_ui->fraCache->setTitle(Key(10));
    m_ui->chkCache->setText(Key(11));

    QVariantList cache{kCacheSetting, QVariant()};
    QVariantList page{QByteArray(kPageNameBuffer, '\0')};
    QVariantList port{QVariant()};
    QVariantList defaultPage{kDefaultPageSetting, QVariant()};
    if (CallControl(Method::GetHTTPGeneralSetting, cache) != kResultOk ||
        CallControl(Method::GetHTTPDefaultPage, page) != kResultOk ||
        CallControl(Method::GetHTTPPort, port) != kResultOk ||
        CallControl(Method::GetHTTPGeneralSetting, defaultPage) != kResultOk) {
        LoadFailed();
        return;
    }
    m_ui->chkCache->setChecked(cache.value(1).toInt() != 0);
    m_ui->txtFileName->setText(TrimAtNul(QString::fromLatin1(page.value(0).toByteArray())));
    // The port is a 16-bit field: ports above 32767 come as negative numbers.
    m_ui->txtPort->setText(QString::number(uint16_t(port.value(0).toInt())));
    const bool on = defaultPage.value(1).toInt() != 0;
    (on ? m_ui->optDefaultPageOn : m_ui->optDefaultPageOFF)->setChecked(true);
    EnablePage(on);
    WatchChanges();
}

void frmSub_Web::EnablePage(bool on) {
    for (QWidget* w :
         {static_cast<QWidget*>(m_ui->lblDir), static_cast<QWidget*>(m_ui->txtFileName),
          static_cast<QWidget*>(m_ui->lbl_html), static_cast<QWidget*>(m_ui->lblMaxChar)}) {
        w->setEnabled(on);
    }
}

void frmSub_Web::optDefaultPageOn_Click() {
    EnablePage(true);
}

void frmSub_Web::optDefaultPageOFF_Click() {
    EnablePage(false);
}

bool frmSub_Web::Apply() {
    const bool pageOn = m_ui->optDefaultPageOn->isChecked();
    // A name is needed only for a default page that is on; with the page off
    // the port alone can be changed.
    if (pageOn && m_ui->txtFileName->text().isEmpty()) {
        ShowMessage(241);
        m_ui->txtFileName->setFocus();
        return false;
    }
    const QString portText = m_ui->txtPort->text();
    const int32_t port = LeadingNumber(portText);
    if (portText.isEmpty() || port < 0 || port > 65535) {
        ShowMessage(250);
        m_ui->txtPort->setFocus();
        return false;
    }
    MousePointer::Hourglass();
    int16_t result = kResultOk;
    if (pageOn) {
        QVariantList name{m_ui->txtFileName->text()};
        result = CallControl(Method::SetHTTPDefaultPage, name);
    }
    if (result == kResultOk) {
        QVariantList page{kDefaultPageSetting, pageOn ? 1 : 0};
        result = CallControl(Method::SetHTTPGeneralSetting, page);
    }
    if (result == kResultOk) {
        QVariantList number{int(int16_t(uint16_t(port)))};
        result = CallControl(Method::SetHTTPPort, number);
    }
    if (result == kResultOk) {
        QVariantList cache{kCacheSetting, m_ui->chkCache->isChecked() ? 1 : 0};
        result = CallControl(Method::SetHTTPGeneralSetting, cache);
    }
    MousePointer::Default();
    if (result != kResultOk) {
        WriteFailed();
        return false;
    }
    return true;
}

}  // namespace kestcfg
