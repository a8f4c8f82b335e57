#include "setup/frmSub_Memory_Info.h"

#include <QLabel>
#include <QProgressBar>

#include "setup/CardCapacity.h"
#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "ui_frmSub_Memory_Info.h"
#include "widget/kest_widget.h"

namespace kestcfg {

frmSub_Memory_Info::frmSub_Memory_Info(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_Memory_Info>()) {
    m_ui->setupUi(this);
    Form_Load();
}

frmSub_Memory_Info::~frmSub_Memory_Info() = default;

void frmSub_Memory_Info::Form_Load() {
    InitDialog(m_ui->vn_Memory_Info, QStringLiteral("SUB_MEMORY_INFO_A"));
    setWindowTitle(Key(1));
    m_ui->lblTotal->setText(Key(2));
    m_ui->lblkByte->setText(Key(3));
    m_ui->lblFree->setText(Key(4));
    const CardCapacity card = ReadCardCapacity(m_ui->vn_Memory_Info);
    ShowCardCapacity(card, m_ui->lblTotalValue, m_ui->lblFreeValue, m_ui->barCapacity);
    // Only OK is left to press: the dialog stays usable to close.
    if (!card.read) ShowMessage(kMsgReadFailed);
}

}  // namespace kestcfg
