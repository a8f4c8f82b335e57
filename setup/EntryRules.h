// How the setup tool's text boxes treat the keyboard: which typed
// characters a box takes, and what a box selects when it gets the focus.
// Only typed characters are filtered: Backspace, Enter, Escape, Tab, the
// arrow keys and shortcuts reach the box and the dialog as usual.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;

namespace kestcfg {

class KeyFilter final : public QObject {
  public:
    // The box takes only these characters; every other one is discarded.
    static KeyFilter* acceptOnly(QLineEdit* box, const QString& chars);
    // The box takes every character but these.
    static KeyFilter* refuse(QLineEdit* box, const QString& chars);

    // Runs first for every typed character; true when it has handled the
    // key itself (a "." that moves to the next octet box).
    void setBeforeKey(std::function<bool(QChar)> handler) { m_before = std::move(handler); }
    // Runs for every typed character, taken or not, and for Backspace.
    void setOnKey(std::function<void()> handler) { m_onKey = std::move(handler); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    KeyFilter(QLineEdit* box, QString chars, bool accept);

    QString m_chars;
    bool m_accept;
    std::function<bool(QChar)> m_before;
    std::function<void()> m_onKey;
};

// On getting the focus, box selects length characters from start.
void SelectOnFocus(QLineEdit* box, int start, int length);

inline const QString kDigits = QStringLiteral("0123456789");

// Four boxes of an IPv4 address: digits only, a "." moves on to the next
// box, each selects its text on focus, a text that is not all digits is
// emptied.
void AddressRow(QLineEdit* const boxes[4]);

}  // namespace kestcfg
