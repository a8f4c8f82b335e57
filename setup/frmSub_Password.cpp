#include "setup/frmSub_Password.h"

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "ui_frmSub_Password.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("SUB_PASSWORD_A");

}  // namespace

frmSub_Password::frmSub_Password(kest::qt::KestWidget* setting, QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmSub_Password>()), m_setting(setting) {
    m_ui->setupUi(this);
    setWindowTitle(GetLangString(QLatin1String(kTitleSection), QStringLiteral("1")));
    m_ui->lblLabel_Form->setText(
        GetLangString(kSection, QString::number(Global::PasswordSlot + 1)));
    m_ui->lblLabel_NewPass->setText(GetLangString(kSection, QStringLiteral("4")));
    m_ui->lblLabel_ConPass->setText(GetLangString(kSection, QStringLiteral("5")));
    m_ui->cmdOK->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2")));
    for (QLineEdit* box : {m_ui->txtNewPassword, m_ui->txtConfirmPassword}) {
        KeyFilter::refuse(box, QStringLiteral(" "));
        SelectOnFocus(box, 0, kPasswordLength);
        // A pasted blank is dropped as a typed one is.
        connect(box, &QLineEdit::textChanged, this, [box](const QString& text) {
            if (text.contains(QLatin1Char(' ')))
                box->setText(QString(text).remove(QLatin1Char(' ')));
        });
    }
    connect(m_ui->txtNewPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == kPasswordLength) m_ui->txtConfirmPassword->setFocus();
    });
    connect(m_ui->txtConfirmPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == kPasswordLength) m_ui->cmdOK->setFocus();
    });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmSub_Password::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmSub_Password::cmdCancel_Click);
}

frmSub_Password::~frmSub_Password() = default;

void frmSub_Password::cmdOK_Click() {
    if (m_ui->txtNewPassword->text() != m_ui->txtConfirmPassword->text()) {
        ShowMessage(kMsgPasswordMismatch);
        m_ui->txtConfirmPassword->setFocus();
        return;
    }
    if (ShowMessage(kMsgChangePassword) != 1) return;

    Global::NewPassword = m_ui->txtNewPassword->text();
    const QString newPassword = Global::NewPassword.text();
    const PasswordField before = Global::CameraPassword;
    // The set command proves itself with the control's password.
    SetControl(m_setting, Property::Password, newPassword);
    const int16_t level = Global::PasswordSlot;
    int16_t result = kResultOk;
    if (level >= 0 && level <= 2) {
        QVariantList off{int(level), 0, Global::CameraPassword.text()};
        result = Call(m_setting, Method::SetPasswordEnable, off);
        if (!Global::NewPassword.isBlank()) {
            QVariantList on{int(level), 1, newPassword};
            result = Call(m_setting, Method::SetPasswordEnable, on);
            if (level == 2) {
                SetControl(m_setting, Property::Password, newPassword);
                Global::CameraPassword = newPassword;
            }
        }
    }
    if (result != kResultOk) {
        // The camera kept the password it had: so does the tool.
        Global::CameraPassword = before;
        SetControl(m_setting, Property::Password, before.text());
        ShowMessage(kMsgWriteFailed);
    } else if (level == 2) {
        Global::CameraPassword = m_ui->txtNewPassword->text();
    } else {
        // A user or main password is not what this tool logs in with.
        SetControl(m_setting, Property::Password, Global::CameraPassword.text());
    }
    MousePointer::Default();
    accept();
}

void frmSub_Password::cmdCancel_Click() {
    QDialog::reject();
}

void frmSub_Password::reject() {
    cmdCancel_Click();
}

}  // namespace kestcfg
