#include "setup/frmWork_MultiCastSearch.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTreeWidget>

#include "setup/CameraSearch.h"
#include "setup/Common_Function.h"
#include "setup/Cport_Function.h"
#include "setup/EntryRules.h"
#include "setup/MacroData.h"
#include "setup/frmWork_KestSearch.h"
#include "ui_frmWork_MultiCastSearch.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("WORK_MULTICASTSEARCH_A");

QString Key(int key) {
    return GetLangString(kSection, QString::number(key));
}

QString Dotted(const uint8_t* a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

}  // namespace

frmWork_MultiCastSearch::frmWork_MultiCastSearch(frmWork_KestSearch* owner)
    : SetupForm(owner), m_ui(std::make_unique<Ui::frmWork_MultiCastSearch>()) {
    m_ui->setupUi(this);
    m_search = new CameraSearch(owner->searchControl(), m_ui->lblKestSearch,
                                m_ui->lblSearchTimeLeft, this);
    KeyFilter::acceptOnly(m_ui->txtMultiCastSearch, kDigits);
    connect(m_ui->txtMultiCastSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!IsAllDigits(text)) m_ui->txtMultiCastSearch->clear();
    });
    m_ui->MultiCastUpDownLimitSec->setBuddy(m_ui->txtMultiCastSearch);
    m_ui->MultiCastUpDownLimitSec->setRange(kSearchTimeMin, kSearchTimeMax);
    connect(m_ui->cmdMultiCastSearch, &QPushButton::clicked, this,
            &frmWork_MultiCastSearch::cmdMultiCastSearch_Click);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &frmWork_MultiCastSearch::cmdClose_Click);
    connect(m_search, &CameraSearch::runningChanged, this, &frmWork_MultiCastSearch::setSearching);
    connect(m_search, &CameraSearch::found, this, &frmWork_MultiCastSearch::searchFinished);
    Form_Load();
}

frmWork_MultiCastSearch::~frmWork_MultiCastSearch() = default;

void frmWork_MultiCastSearch::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->fraMultiCast->setTitle(Key(2));
    m_ui->fraSearch->setTitle(Key(3));
    m_ui->lblMultiCastSearch_0->setText(Key(4));
    m_ui->lblMultiCastSearch_1->setText(Key(5));
    m_ui->cmdMultiCastSearch->setText(Key(6));
    m_ui->cmdClose->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("6")));
    m_ui->lvMultiCast->setHeaderLabels({Key(10), Key(11), Key(12)});
    m_ui->lvMultiCast->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_ui->lvMultiCast->header()->setStretchLastSection(true);
    m_ui->txtMultiCastSearch->setText(QString::number(kSearchTimeDefault));
}

void frmWork_MultiCastSearch::setSearching(bool on) {
    m_ui->cmdMultiCastSearch->setEnabled(!on);
    m_ui->txtMultiCastSearch->setEnabled(!on);
    m_ui->MultiCastUpDownLimitSec->setEnabled(!on);
}

void frmWork_MultiCastSearch::cmdMultiCastSearch_Click() {
    m_ui->lvMultiCast->clear();
    const QString text = m_ui->txtMultiCastSearch->text();
    if (!SearchTimeValid(text)) {
        ShowMessage(kMsgSearchTime);
        m_ui->txtMultiCastSearch->setFocus();
        return;
    }
    m_search->start(Method::SearchMulticastIP, kMulticastSearchBufferSize, LeadingNumber(text));
}

void frmWork_MultiCastSearch::searchFinished(const QByteArray& entries, int count) {
    for (int i = 0; i < count; ++i) {
        // +0 the camera's address, +4 its group, +8 1 when it sends to the group.
        const auto* e =
            reinterpret_cast<const uint8_t*>(entries.constData()) + i * kMulticastSearchEntrySize;
        auto* row = new QTreeWidgetItem(m_ui->lvMultiCast);
        row->setText(0, Dotted(e));
        row->setText(1, Dotted(e + 4));
        row->setText(2, e[8] == 1 ? Key(13) : QString());
    }
}

void frmWork_MultiCastSearch::cmdClose_Click() {
    hide();
}

void frmWork_MultiCastSearch::reject() {
    cmdClose_Click();
}

void frmWork_MultiCastSearch::closeEvent(QCloseEvent* event) {
    event->ignore();
    cmdClose_Click();
}

}  // namespace kestcfg
