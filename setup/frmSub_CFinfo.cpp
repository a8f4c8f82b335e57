#include "setup/frmSub_CFinfo.h"

#include <QLabel>
#include <QProgressBar>

#include "setup/CardCapacity.h"
#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "ui_frmSub_CFinfo.h"
#include "widget/kest_widget.h"

namespace kestcfg {

frmSub_CFinfo::frmSub_CFinfo(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_CFinfo>()) {
    m_ui->setupUi(this);
    Form_Load();
}

frmSub_CFinfo::~frmSub_CFinfo() = default;

void frmSub_CFinfo::Form_Load() {
    InitDialog(m_ui->vn_CFinfo, QStringLiteral("SUB_CFINFO_A"));
    setWindowTitle(Key(1));
    m_ui->lblTotal->setText(Key(2));
    m_ui->lblkByte->setText(Key(3));
    m_ui->lblFree->setText(Key(4));
    m_ui->lblComment->setText(Key(5));
    const CardCapacity card = ReadCardCapacity(m_ui->vn_CFinfo);
    ShowCardCapacity(card, m_ui->lblTotalValue, m_ui->lblFreeValue, m_ui->barCapacity);
    // Only OK is left to press: the dialog stays usable to close.
    if (!card.read) ShowMessage(kMsgReadFailed);
}

}  // namespace kestcfg
