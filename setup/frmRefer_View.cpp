#include "setup/frmRefer_View.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/RangeBox.h"
#include "setup/frmView.h"
#include "ui_frmRefer_View.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("SUB_REFERENCE_A");
const QString kSettings = QStringLiteral("SetUpTool");
const QString kIntervalKey = QStringLiteral("ReloadInterval");
const QString kAutoKey = QStringLiteral("AutoReload");
constexpr int kDefaultIntervalMs = 10000;
// The interval box: seconds.
constexpr int kIntervalMin = 1;
constexpr int kIntervalMax = 60;

QString Key(int key) {
    return GetLangString(kSection, QString::number(key));
}

}  // namespace

frmRefer_View::frmRefer_View(frmView* view, QWidget* parent)
    : SetupForm(parent),
      m_ui(std::make_unique<Ui::frmRefer_View>()),
      m_view(view),
      m_timer(new QTimer(this)),
      m_folder(QDir(QDir::tempPath()).filePath(QStringLiteral("kestcfg-XXXXXX"))) {
    m_ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_interval = new RangeBox(m_ui->txtInterval, kIntervalMin, kIntervalMax);
    connect(m_interval, &RangeBox::valueChanged, this,
            [this](int seconds) { m_timer->setInterval(seconds * 1000); });
    connect(m_timer, &QTimer::timeout, this, &frmRefer_View::Timer1_Timer);
    connect(m_ui->cmdReload, &QPushButton::clicked, this, &frmRefer_View::cmdReload_Click);
    connect(m_ui->chkAuto_Reload, &QCheckBox::clicked, this, &frmRefer_View::chkAuto_Reload_Click);
    connect(m_ui->cmd_Close, &QPushButton::clicked, this, &frmRefer_View::cmd_Close_Click);
    Form_Load();
}

frmRefer_View::~frmRefer_View() = default;

QString frmRefer_View::referenceFile() const {
    return m_folder.filePath(QStringLiteral("Reference.$$$"));
}

void frmRefer_View::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->cmdReload->setText(Key(2));
    m_ui->chkAuto_Reload->setText(Key(3));
    m_ui->lblsec->setText(Key(4));
    m_ui->cmd_Close->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("6")));
    m_ui->lblStatus->hide();
    PrepareControl(m_ui->vn_ReferView);
    // Any reference picture fills the picture area.
    m_ui->vn_ReferView->setControlProperty(QStringLiteral("Stretch"), true);

    const int32_t ms =
        LeadingNumber(GetSetting(kSettings, kIntervalKey, QString::number(kDefaultIntervalMs)));
    SaveSetting(kSettings, kIntervalKey, QString::number(ms));
    m_interval->setValue(ms / 1000);
    m_timer->setInterval(m_interval->value() * 1000);
    const bool autoReload =
        LeadingNumber(GetSetting(kSettings, kAutoKey, QStringLiteral("0"))) != 0;
    m_ui->chkAuto_Reload->setChecked(autoReload);
    AutoReload(autoReload);
    // The picture as the camera has it now, rather than an empty area.
    QTimer::singleShot(0, this, &frmRefer_View::Reload);
}

void frmRefer_View::AutoReload(bool on) {
    // Automatic reload: the interval counts; by hand: the button does.
    if (on) {
        m_timer->start();
    } else {
        m_timer->stop();
    }
    m_ui->txtInterval->setEnabled(on);
    m_ui->cmdReload->setEnabled(!on);
}

void frmRefer_View::Reload() {
    if (m_closed) return;
    MousePointer::Hourglass();
    // The camera sends its reference picture while no stream runs.
    if (m_view) m_view->StopStream();
    const QString file = referenceFile();
    QVariantList name{file};
    int16_t result = m_folder.isValid() ? Call(m_ui->vn_ReferView, Method::SaveReferenceImage, name)
                                        : int16_t(kResultRefused);
    if (result == kResultOk) {
        QVariantList show{file, 0};
        result = Call(m_ui->vn_ReferView, Method::ShowJpegFile, show);
    }
    m_ui->lblStatus->setText(result == kResultOk
                                 ? QString()
                                 : GetLangString(QLatin1String(kOwnSection), QStringLiteral("25")));
    m_ui->lblStatus->setVisible(result != kResultOk);
    if (m_view && !m_view->unloading()) m_view->StartStream();
    MousePointer::Default();
}

void frmRefer_View::cmdReload_Click() {
    Reload();
}

void frmRefer_View::Timer1_Timer() {
    Reload();
}

void frmRefer_View::chkAuto_Reload_Click() {
    AutoReload(m_ui->chkAuto_Reload->isChecked());
}

void frmRefer_View::cmd_Close_Click() {
    Call(m_ui->vn_ReferView, Method::StopDownloading);
    close();
}

void frmRefer_View::reject() {
    cmd_Close_Click();
}

void frmRefer_View::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_closed) return;
    m_closed = true;
    m_timer->stop();
    // The interval as the box holds it, in milliseconds.
    SaveSetting(kSettings, kIntervalKey, QString::number(m_interval->value() * 1000));
    SaveSetting(kSettings, kAutoKey,
                m_ui->chkAuto_Reload->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace kestcfg
