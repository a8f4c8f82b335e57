// The one message-box service of the setup tool. Every box the tool shows,
// numbered or composed, goes through show(): a modal QMessageBox with the
// tool's title, standard buttons and icon. Tests answer boxes through the
// seam instead of a user: setUnattended() records each box and answers it
// with the next queued answer, or its default button.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

namespace kestcfg {

struct MessageBoxSpec {
    int number = 0;  // the message number, 0 for a box a form composes itself
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool foreground = false;  // raised above every other window
};

struct ShownMessage {
    MessageBoxSpec spec;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
};

class MessageService {
  public:
    // Shows the box modal over the active window; the button pressed.
    static QMessageBox::StandardButton show(const MessageBoxSpec& spec);

    // The box as it would be shown (for a screenshot).
    static QMessageBox* build(const MessageBoxSpec& spec, QWidget* parent);

    // Test seam: boxes are recorded, not shown; each takes the next queued
    // answer, or its default button (OK when it has none).
    static void setUnattended(bool on);
    static bool unattended();
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static QList<ShownMessage> takeShown();
    static const QList<ShownMessage>& shown();
};

}  // namespace kestcfg
