#include "setup/frmWork_KestSearch.h"

#include <QCloseEvent>
#include <QListWidget>
#include <QMenu>

#include "setup/CameraSearch.h"
#include "setup/Common_Function.h"
#include "setup/Cport_Function.h"
#include "setup/EntryRules.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/MessageService.h"
#include "setup/frmWork_MultiCastSearch.h"
#include "ui_frmWork_KestSearch.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("WORK_KESTSEARCH_A");

QString Key(int key) {
    return GetLangString(kSection, QString::number(key));
}

}  // namespace

bool SearchTimeValid(const QString& text) {
    const int32_t value = LeadingNumber(text);
    return !text.isEmpty() && value >= kSearchTimeMin && value <= kSearchTimeMax;
}

frmWork_KestSearch::frmWork_KestSearch(QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmWork_KestSearch>()) {
    m_ui->setupUi(this);
    m_search =
        new CameraSearch(m_ui->vn_Search, m_ui->lblKestSearch, m_ui->lblSearchTimeLeft, this);
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mn_RightClickMenu"));
    m_macAddress = m_menu->addAction(QString());
    m_macAddress->setObjectName(QStringLiteral("mn_MACAddress"));

    KeyFilter::acceptOnly(m_ui->txtSearch, kDigits);
    SelectOnFocus(m_ui->txtSearch, 0, 2);
    connect(m_ui->txtSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!IsAllDigits(text)) m_ui->txtSearch->clear();
    });
    m_ui->UpDownLimitSec->setBuddy(m_ui->txtSearch);
    m_ui->UpDownLimitSec->setRange(kSearchTimeMin, kSearchTimeMax);

    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &frmWork_KestSearch::cmdSearch_Click);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmWork_KestSearch::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmWork_KestSearch::cmdCancel_Click);
    connect(m_ui->cmdMultiCastSearch, &QPushButton::clicked, this,
            &frmWork_KestSearch::cmdMultiCastSearch_Click);
    connect(m_ui->lstListKest, &QListWidget::itemClicked, this,
            [this] { m_ui->cmdOK->setEnabled(true); });
    // Picking an item with the keyboard enables OK as a click does.
    connect(m_ui->lstListKest, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_ui->lstListKest->selectedItems().isEmpty()) m_ui->cmdOK->setEnabled(true);
    });
    connect(m_ui->lstListKest, &QListWidget::itemDoubleClicked, this,
            &frmWork_KestSearch::cmdOK_Click);
    connect(m_ui->lstListKest, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                m_menu->popup(m_ui->lstListKest->viewport()->mapToGlobal(at));
            });
    connect(m_macAddress, &QAction::triggered, this, &frmWork_KestSearch::mn_MACAddress_Click);
    connect(m_search, &CameraSearch::runningChanged, this, &frmWork_KestSearch::setSearching);
    connect(m_search, &CameraSearch::found, this, &frmWork_KestSearch::searchFinished);
    Form_Load();
}

frmWork_KestSearch::~frmWork_KestSearch() = default;

kest::qt::KestWidget* frmWork_KestSearch::searchControl() const {
    return m_ui->vn_Search;
}

frmWork_MultiCastSearch* frmWork_KestSearch::multicastForm() const {
    return m_multicast;
}

void frmWork_KestSearch::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->fraList->setTitle(Key(2));
    m_ui->fraSearch->setTitle(Key(3));
    m_ui->lblSearch_0->setText(Key(4));
    m_ui->lblSearch_1->setText(Key(5));
    m_ui->cmdSearch->setText(Key(6));
    m_ui->cmdMultiCastSearch->setText(Key(10));
    m_macAddress->setText(Key(11));
    m_ui->cmdOK->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1")));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2")));
    PrepareControl(m_ui->vn_Search);
    Global::SelectedOctets = {0, 0, 0, 0};
    Global::SearchCancelled = false;
    if (m_searchTime == 0) m_searchTime = kSearchTimeDefault;
    m_ui->txtSearch->setText(QString::number(m_searchTime));
}

void frmWork_KestSearch::setSearching(bool on) {
    m_ui->cmdSearch->setEnabled(!on);
    m_ui->cmdMultiCastSearch->setEnabled(!on);
    m_ui->txtSearch->setEnabled(!on);
    m_ui->UpDownLimitSec->setEnabled(!on);
}

void frmWork_KestSearch::cmdSearch_Click() {
    m_ui->lblKestSearch->clear();
    m_ui->lblKestSearch->repaint();
    const QString text = m_ui->txtSearch->text();
    if (!SearchTimeValid(text)) {
        ShowMessage(kMsgSearchTime);
        m_ui->txtSearch->setFocus();
        return;
    }
    m_searchTime = int16_t(LeadingNumber(text));
    m_ui->lstListKest->clear();
    m_search->start(Method::SearchPALOMIR, kSearchBufferSize, m_searchTime);
}

void frmWork_KestSearch::searchFinished(const QByteArray& entries, int count) {
    for (int i = 0; i < count; ++i) {
        const auto* e =
            reinterpret_cast<const uint8_t*>(entries.constData()) + i * kSearchEntrySize;
        m_ui->lstListKest->addItem(
            QStringLiteral("%1.%2.%3.%4").arg(e[0]).arg(e[1]).arg(e[2]).arg(e[3]));
    }
}

void frmWork_KestSearch::cmdOK_Click() {
    const QList<QListWidgetItem*> selected = m_ui->lstListKest->selectedItems();
    if (!selected.isEmpty()) {
        int16_t octets[4];
        if (SplitAddress(selected.first()->text(), octets)) {
            for (int i = 0; i < 4; ++i)
                Global::SelectedOctets[size_t(i)] = octets[i];
            Global::SearchCancelled = false;
        }
    }
    hide();
}

void frmWork_KestSearch::cmdCancel_Click() {
    Global::SearchCancelled = true;
    hide();
}

void frmWork_KestSearch::reject() {
    cmdCancel_Click();
}

void frmWork_KestSearch::closeEvent(QCloseEvent* event) {
    // Hidden, not unloaded: the dialog keeps its search time.
    event->ignore();
    cmdCancel_Click();
}

void frmWork_KestSearch::cmdMultiCastSearch_Click() {
    if (!m_multicast) m_multicast = new frmWork_MultiCastSearch(this);
    m_multicast->exec();
}

void frmWork_KestSearch::mn_MACAddress_Click() {
    const QList<QListWidgetItem*> selected = m_ui->lstListKest->selectedItems();
    if (selected.isEmpty()) return;
    SetControl(m_ui->vn_Search, Property::RemoteIPAddress, selected.first()->text());
    MousePointer::Hourglass();
    QVariantList mac{QString()};
    const int16_t result = Call(m_ui->vn_Search, Method::GetMacAddress, mac);
    MousePointer::Default();
    const QString text = mac.value(0).toString();
    if (result == kResultOk && !text.isEmpty()) {
        MessageBoxSpec spec;
        spec.title = GetLangString(QStringLiteral("MAIN_SETTING_A"), QStringLiteral("8"));
        spec.text = text;
        spec.icon = QMessageBox::Information;
        spec.defaultButton = QMessageBox::Ok;
        MessageService::show(spec);
    } else if (result == kResultNoAnswer) {
        ShowMessage(kMsgNoAnswer);
    } else {
        ShowMessage(kMsgReadFailed);
    }
}

}  // namespace kestcfg
