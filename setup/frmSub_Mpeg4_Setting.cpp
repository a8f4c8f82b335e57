#include "setup/frmSub_Mpeg4_Setting.h"

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "ui_frmSub_Mpeg4_Setting.h"

namespace kestcfg {

namespace {

constexpr int kMinBitRate = 64;
constexpr int kMaxBitRate = 2048;

}  // namespace

frmSub_Mpeg4_Setting::frmSub_Mpeg4_Setting(QWidget* parent)
    : SubDialog(parent), m_ui(std::make_unique<Ui::frmSub_Mpeg4_Setting>()) {
    m_ui->setupUi(this);
    InitDialog(m_ui->vn_Mpeg4, QStringLiteral("SUB_MPEG4_A"));
    // FramerateMode is the index: 30, 15 or 7.5 frames a second.
    m_ui->cmbFrameRate->addItems(
        {QStringLiteral("30"), QStringLiteral("15"), QStringLiteral("7.5")});
    KeyFilter::acceptOnly(m_ui->txtBitRate, kDigits);
    Form_Load();
}

frmSub_Mpeg4_Setting::~frmSub_Mpeg4_Setting() = default;

void frmSub_Mpeg4_Setting::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->fraFrameRate->setTitle(Key(2));
    m_ui->lblFrameRate_Unit->setText(Key(3));
    m_ui->fraBitRate->setTitle(Key(4));
    m_ui->lblBitRate_Unit->setText(Key(5));
    QVariantList parameter{QVariant(), QVariant()};
    if (CallControl(Method::GetMPEG4Parameter, parameter) != kResultOk) {
        LoadFailed();
        return;
    }
    m_readMode = parameter.value(0).toInt();
    // A mode the list does not have selects nothing (and is sent back as read).
    m_ui->cmbFrameRate->setCurrentIndex(
        m_readMode >= 0 && m_readMode < m_ui->cmbFrameRate->count() ? m_readMode : -1);
    m_ui->txtBitRate->setText(QString::number(parameter.value(1).toInt()));
    WatchChanges();
}

bool frmSub_Mpeg4_Setting::Apply() {
    const QString text = m_ui->txtBitRate->text();
    const int32_t bitRate = LeadingNumber(text);
    if (text.isEmpty() || bitRate < kMinBitRate || bitRate > kMaxBitRate) {
        ShowMessage(310);
        m_ui->txtBitRate->setFocus();
        return false;
    }
    const int index = m_ui->cmbFrameRate->currentIndex();
    QVariantList parameter{index >= 0 ? index : m_readMode, bitRate};
    if (!Write(Method::SetMPEG4Parameter, parameter)) return false;
    return true;
}

}  // namespace kestcfg
