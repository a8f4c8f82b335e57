#include "setup/frmSub_DHCP.h"

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/RecordBytes.h"
#include "ui_frmSub_DHCP.h"

namespace kestcfg {

frmSub_DHCP::frmSub_DHCP(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_DHCP>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_DHCP, QStringLiteral("SUB_DHCP_A"));
    Form_Load();
}

frmSub_DHCP::~frmSub_DHCP() = default;

void frmSub_DHCP::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->lblDHCP_ServerIP->setText(Key(2));
    m_ui->lblLease_Obtain->setText(Key(3));
    m_ui->lblLease_Expires->setText(Key(4));
    QVariantList dhcp{QVariant(), QVariant(), QByteArray(4, '\0'), QVariant(), QVariant()};
    if (CallControl(Method::GetDHCP, dhcp) != kResultOk) {
        LoadFailed();
        return;
    }
    const RecordBytes server(dhcp.value(2).toByteArray(), 4);
    const auto address = server.address(0);
    QLineEdit* boxes[] = {m_ui->txtDHCP_IP_0, m_ui->txtDHCP_IP_1, m_ui->txtDHCP_IP_2,
                          m_ui->txtDHCP_IP_3};
    for (int i = 0; i < 4; ++i)
        boxes[i]->setText(QString::number(address[size_t(i)]));
    m_ui->txtLease_Obtain->setText(QString::number(dhcp.value(3).toInt()));
    m_ui->txtLease_Expires->setText(QString::number(dhcp.value(4).toInt()));
}

}  // namespace kestcfg
