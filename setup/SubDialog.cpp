#include "setup/SubDialog.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTreeWidget>

#include "setup/Common_Function.h"
#include "setup/Forms.h"
#include "setup/MacroData.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

QString Button(int key) {
    return GetLangString(QStringLiteral("BUTTON_A"), QString::number(key));
}

}  // namespace

SubDialog::SubDialog(QWidget* parent) : SetupForm(parent) {}

void SubDialog::InitDialog(kest::qt::KestWidget* control, const QString& section) {
    m_control = control;
    m_section = section;
    if (control) PrepareControl(control);
    m_ok = findChild<QAbstractButton*>(QStringLiteral("cmdOK"));
    m_apply = findChild<QAbstractButton*>(QStringLiteral("cmdApply"));
    m_cancel = findChild<QAbstractButton*>(QStringLiteral("cmdCancel"));
    m_close = findChild<QAbstractButton*>(QStringLiteral("cmdClose"));
    if (m_ok) {
        m_ok->setText(Button(1));
        connect(m_ok, &QAbstractButton::clicked, this, &SubDialog::cmdOK_Click);
    }
    if (m_cancel) {
        m_cancel->setText(Button(2));
        connect(m_cancel, &QAbstractButton::clicked, this, &SubDialog::cmdCancel_Click);
    }
    if (m_apply) {
        m_apply->setText(Button(4));
        connect(m_apply, &QAbstractButton::clicked, this, &SubDialog::cmdApply_Click);
    }
    if (m_close) {
        m_close->setText(Button(6));
        connect(m_close, &QAbstractButton::clicked, this, &SubDialog::cmdCancel_Click);
    }
}

QString SubDialog::Key(int key) const {
    return Key(QString::number(key));
}

QString SubDialog::Key(const QString& key) const {
    return GetLangString(m_section, key);
}

int16_t SubDialog::CallControl(Method method, QVariantList& args) {
    m_result = Call(m_control, method, args);
    return m_result;
}

int16_t SubDialog::CallControl(Method method) {
    QVariantList none;
    return CallControl(method, none);
}

void SubDialog::WatchChanges() {
    if (m_apply) m_apply->setEnabled(false);
    if (m_ok) m_ok->setEnabled(false);
    const auto changed = [this] { Changed(); };
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        if (e->parent() && qobject_cast<QAbstractSpinBox*>(e->parent())) continue;
        connect(e, &QLineEdit::textEdited, this, changed);
    }
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b)) {
            connect(b, &QAbstractButton::clicked, this, changed);
        }
    }
    for (QComboBox* c : findChildren<QComboBox*>())
        connect(c, &QComboBox::activated, this, changed);
    for (QDateTimeEdit* d : findChildren<QDateTimeEdit*>())
        connect(d, &QDateTimeEdit::dateTimeChanged, this, [this, d] {
            if (d->hasFocus()) Changed();
        });
    for (QAbstractSlider* s : findChildren<QAbstractSlider*>())
        connect(s, &QAbstractSlider::sliderMoved, this, changed);
}

void SubDialog::Changed() {
    if (m_loadFailed) return;
    if (m_ok) m_ok->setEnabled(true);
    if (m_apply) m_apply->setEnabled(true);
}

void SubDialog::LoadFailed() {
    m_loadFailed = true;
    ShowMessage(kMsgReadFailed);
    for (QWidget* w : findChildren<QWidget*>()) {
        const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QRadioButton*>(w) ||
                           qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QDateTimeEdit*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QListWidget*>(w) ||
                           qobject_cast<QTreeWidget*>(w);
        if (input) w->setEnabled(false);
    }
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (b != m_cancel && b != m_close && !qobject_cast<QRadioButton*>(b) &&
            !qobject_cast<QCheckBox*>(b)) {
            b->setEnabled(false);
        }
    }
}

void SubDialog::WriteFailed() {
    ShowMessage(kMsgWriteFailed);
}

bool SubDialog::Write(Method method, QVariantList& args) {
    MousePointer::Hourglass();
    const int16_t result = CallControl(method, args);
    MousePointer::Default();
    if (result == kResultOk) return true;
    WriteFailed();
    return false;
}

void SubDialog::cmdApply_Click() {
    if (m_loadFailed) return;
    Apply();
}

void SubDialog::cmdOK_Click() {
    if (m_loadFailed) return;
    // Nothing typed is lost: the dialog stays open until the camera has it.
    if (Apply()) close();
}

void SubDialog::cmdCancel_Click() {
    close();
}

void SubDialog::reject() {
    cmdCancel_Click();
}

void SubDialog::Unloading() {
    ShowSettingForm();
}

void SubDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_unloaded) return;
    m_unloaded = true;
    Unloading();
    deleteLater();
}

}  // namespace kestcfg
