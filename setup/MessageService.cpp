#include "setup/MessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>

#include "setup/Common_Function.h"

namespace kestcfg {

namespace {

struct Seam {
    bool unattended = false;
    QList<QMessageBox::StandardButton> answers;
    QList<ShownMessage> shown;
};

Seam& seam() {
    static Seam s;
    return s;
}

}  // namespace

QMessageBox* MessageService::build(const MessageBoxSpec& spec, QWidget* parent) {
    auto* box = new QMessageBox(spec.icon, spec.title, spec.text, spec.buttons, parent);
    box->setObjectName(QStringLiteral("kestcfgMessageBox"));
    box->setTextFormat(Qt::PlainText);
    if (spec.defaultButton != QMessageBox::NoButton) box->setDefaultButton(spec.defaultButton);
    // The shared button captions, where the language file has them.
    const QString ok = GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("1"));
    const QString cancel = GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("2"));
    if (QAbstractButton* b = box->button(QMessageBox::Ok); b && !ok.isEmpty()) b->setText(ok);
    if (QAbstractButton* b = box->button(QMessageBox::Cancel); b && !cancel.isEmpty()) {
        b->setText(cancel);
    }
    if (spec.foreground) box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

QMessageBox::StandardButton MessageService::show(const MessageBoxSpec& spec) {
    Seam& s = seam();
    if (s.unattended) {
        QMessageBox::StandardButton answer =
            spec.defaultButton != QMessageBox::NoButton ? spec.defaultButton : QMessageBox::Ok;
        if (!s.answers.isEmpty()) answer = s.answers.takeFirst();
        s.shown.push_back({spec, answer});
        return answer;
    }
    QMessageBox* box = build(spec, QApplication::activeWindow());
    if (spec.foreground) {
        box->raise();
        box->activateWindow();
    }
    const auto answer = QMessageBox::StandardButton(box->exec());
    delete box;
    return answer;
}

void MessageService::setUnattended(bool on) {
    seam().unattended = on;
    seam().answers.clear();
    seam().shown.clear();
}

bool MessageService::unattended() {
    return seam().unattended;
}

void MessageService::setNextAnswer(QMessageBox::StandardButton answer) {
    seam().answers.push_back(answer);
}

QList<ShownMessage> MessageService::takeShown() {
    QList<ShownMessage> out;
    out.swap(seam().shown);
    return out;
}

const QList<ShownMessage>& MessageService::shown() {
    return seam().shown;
}

}  // namespace kestcfg
