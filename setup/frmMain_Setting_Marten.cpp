#include "setup/frmMain_Setting_Marten.h"

#include <QCloseEvent>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/frmMain_IP.h"
#include "ui_frmMain_Setting_Marten.h"

namespace kestcfg {

frmMain_Setting_Marten::frmMain_Setting_Marten(QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmMain_Setting_Marten>()) {
    m_ui->setupUi(this);
    setWindowTitle(GetLangString(QLatin1String(kTitleSection), QStringLiteral("1")));
    m_ui->lblPlaceholder->setText(GetLangString(QLatin1String(kOwnSection), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("6")));
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmMain_Setting_Marten::cmdCancel_Click);
    PrepareControl(m_ui->vn_Setting);
}

frmMain_Setting_Marten::~frmMain_Setting_Marten() = default;

void frmMain_Setting_Marten::cmdCancel_Click() {
    close();
}

void frmMain_Setting_Marten::reject() {
    cmdCancel_Click();
}

void frmMain_Setting_Marten::closeEvent(QCloseEvent* event) {
    event->accept();
    if (frmMain_IP* connectDialog = frmMain_IP::instance()) connectDialog->show();
    deleteLater();
}

}  // namespace kestcfg
