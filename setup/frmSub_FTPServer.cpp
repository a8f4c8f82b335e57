#include "setup/frmSub_FTPServer.h"

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "ui_frmSub_FTPServer.h"

namespace kestcfg {

frmSub_FTPServer::frmSub_FTPServer(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_FTPServer>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_FTP_Server, QStringLiteral("SUB_FTP_SERVER_A"));
    Form_Load();
}

frmSub_FTPServer::~frmSub_FTPServer() = default;

void frmSub_FTPServer::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->fraFTP_Server->setTitle(Key(2));
    m_ui->optFTP_ON->setText(Key(3));
    m_ui->optFTP_OFF->setText(Key(4));
    QVariantList status{QVariant()};
    if (CallControl(Method::GetFTPSeverEnable, status) != kResultOk) {
        LoadFailed();
        return;
    }
    (status.value(0).toInt() == 1 ? m_ui->optFTP_ON : m_ui->optFTP_OFF)->setChecked(true);
    WatchChanges();
}

bool frmSub_FTPServer::Apply() {
    QVariantList status{m_ui->optFTP_ON->isChecked() ? 1 : 0};
    if (!Write(Method::SetFTPServerEnable, status)) return false;
    return true;
}

}  // namespace kestcfg
