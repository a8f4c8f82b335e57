#include "setup/frmWork_Password_Cport.h"

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "ui_frmWork_Password_Cport.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("WORK_PASSWORD_CPORT_A");

}  // namespace

frmWork_Password_Cport::frmWork_Password_Cport(QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmWork_Password_Cport>()) {
    m_ui->setupUi(this);
    Global::PasswordEntered = true;
    MousePointer::Default();
    setWindowTitle(GetLangString(kSection, QStringLiteral("1")));
    m_ui->lblLabel->setText(GetLangString(kSection, QStringLiteral("6")));
    m_ui->lblLabel_UserName->setText(GetLangString(kSection, QStringLiteral("3")));
    m_ui->lblLabel_Password->setText(GetLangString(kSection, QStringLiteral("4")));
    m_ui->cmdOK->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2")));
    SelectOnFocus(m_ui->txtUserName, 0, kPasswordLength);
    SelectOnFocus(m_ui->txtPassword, 0, kPasswordLength);
    connect(m_ui->txtUserName, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == kPasswordLength) m_ui->txtPassword->setFocus();
    });
    connect(m_ui->txtPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == kPasswordLength) m_ui->cmdOK->setFocus();
    });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmWork_Password_Cport::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmWork_Password_Cport::cmdCancel_Click);
    // The user name is not used; the password is what the camera checks.
    m_ui->txtPassword->setFocus();
}

frmWork_Password_Cport::~frmWork_Password_Cport() = default;

void frmWork_Password_Cport::cmdOK_Click() {
    Global::CameraPassword = m_ui->txtPassword->text();
    Global::PasswordEntered = true;
    accept();
}

void frmWork_Password_Cport::cmdCancel_Click() {
    Global::PasswordEntered = false;
    QDialog::reject();
}

void frmWork_Password_Cport::reject() {
    cmdCancel_Click();
}

}  // namespace kestcfg
