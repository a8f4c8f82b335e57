#include "setup/frmList.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/MessageService.h"
#include "ui_frmList.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

const QString kSection = QStringLiteral("SUB_LIST_A");

QString Key(int key) {
    return GetLangString(kSection, QString::number(key));
}

QString Title() {
    return GetLangString(QLatin1String(kTitleSection), QStringLiteral("1"));
}

constexpr int kListBytes = kAlarmRecipientsMax * kAlarmRecipientSize;

}  // namespace

std::vector<AlarmRecipient> ParseAlarmList(const QByteArray& list, int count) {
    std::vector<AlarmRecipient> out;
    const int records =
        std::min({count, int(list.size()) / kAlarmRecipientSize, kAlarmRecipientsMax});
    for (int i = 0; i < records; ++i) {
        const auto* r =
            reinterpret_cast<const uint8_t*>(list.constData()) + i * kAlarmRecipientSize;
        AlarmRecipient a;
        std::copy_n(r, 4, a.address.begin());
        a.port = uint16_t(r[4] | r[5] << 8);
        out.push_back(a);
    }
    return out;
}

QString RecipientLine(const AlarmRecipient& r) {
    return QStringLiteral("%1.%2.%3.%4    %5")
        .arg(r.address[0])
        .arg(r.address[1])
        .arg(r.address[2])
        .arg(r.address[3])
        .arg(r.port);
}

frmList::frmList(kest::qt::KestWidget* control, QWidget* parent)
    : SetupForm(parent), m_ui(std::make_unique<Ui::frmList>()), m_control(control) {
    m_ui->setupUi(this);
    connect(m_ui->Command1, &QPushButton::clicked, this, &frmList::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmList::Command2_Click);
    // Delete works on the line chosen; the focus alone chooses none.
    connect(m_ui->List1, &QListWidget::itemSelectionChanged, this,
            [this] { m_ui->Command2->setEnabled(!m_ui->List1->selectedItems().isEmpty()); });
    Form_Load();
}

frmList::~frmList() = default;

void frmList::Form_Load() {
    setWindowTitle(Key(1));
    m_ui->lbl1->setText(Key(2));
    m_ui->Label2->setText(Key(3));
    // The port heading about where the ports of the longest addresses start.
    m_ui->lbl1->setMinimumWidth(
        m_ui->List1->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255    ")));
    m_ui->List1->setAccessibleName(Key(1));
    m_ui->Command2->setText(Key(4));
    m_ui->Command1->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("6")));
    ReadList();
}

void frmList::ReadList() {
    m_ui->List1->clear();
    m_recipients.clear();
    m_ui->Command2->setEnabled(false);
    if (!m_control) return;
    MousePointer::Hourglass();
    QVariantList args{0, QByteArray(kListBytes, '\0'), kListBytes};
    const int16_t result = Call(m_control, Method::AlarmGetList, args);
    MousePointer::Default();
    if (result != kResultOk) {
        ShowMessage(kMsgReadFailed);
        return;
    }
    m_recipients = ParseAlarmList(args.value(1).toByteArray(), args.value(0).toInt());
    for (const AlarmRecipient& r : m_recipients)
        m_ui->List1->addItem(RecipientLine(r));
}

void frmList::Command2_Click() {
    const QList<QListWidgetItem*> chosen = m_ui->List1->selectedItems();
    if (chosen.isEmpty() || !m_control) return;
    const int row = m_ui->List1->row(chosen.first());
    if (row < 0 || row >= int(m_recipients.size())) return;
    MessageBoxSpec question;
    question.title = Title();
    question.text = Key(5);
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    // Taking a recipient off the list is not undone by a second Enter.
    question.defaultButton = QMessageBox::No;
    if (MessageService::show(question) != QMessageBox::Yes) return;
    const AlarmRecipient& r = m_recipients[size_t(row)];
    QVariantList args{QByteArray(reinterpret_cast<const char*>(r.address.data()), 4),
                      int(int16_t(r.port))};
    MousePointer::Hourglass();
    const int16_t result = Call(m_control, Method::AlarmDeregisterIndirect, args);
    MousePointer::Default();
    if (result != kResultOk) {
        MessageBoxSpec failed;
        failed.title = Title();
        failed.icon = QMessageBox::Critical;
        failed.text =
            GetLangString(QStringLiteral("System Error Msg"),
                          result == kResultRefused ? QStringLiteral("-2") : QStringLiteral("-15"));
        failed.defaultButton = QMessageBox::Ok;
        MessageService::show(failed);
    }
    ReadList();
}

void frmList::Command1_Click() {
    close();
}

}  // namespace kestcfg
