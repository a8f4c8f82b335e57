#include "setup/EntryRules.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace kestcfg {

namespace {

class FocusSelector final : public QObject {
  public:
    FocusSelector(QLineEdit* box, int start, int length)
        : QObject(box), m_box(box), m_start(start), m_length(length) {
        box->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            // After the mouse press that gave the focus has placed the cursor.
            QTimer::singleShot(0, m_box, [box = m_box, start = m_start, length = m_length] {
                const int end = std::min<int>(start + length, int(box->text().size()));
                if (end > start) box->setSelection(start, end - start);
            });
        }
        return false;
    }

  private:
    QLineEdit* m_box;
    int m_start;
    int m_length;
};

}  // namespace

KeyFilter::KeyFilter(QLineEdit* box, QString chars, bool accept)
    : QObject(box), m_chars(std::move(chars)), m_accept(accept) {
    box->installEventFilter(this);
}

KeyFilter* KeyFilter::acceptOnly(QLineEdit* box, const QString& chars) {
    return new KeyFilter(box, chars, true);
}

KeyFilter* KeyFilter::refuse(QLineEdit* box, const QString& chars) {
    return new KeyFilter(box, chars, false);
}

bool KeyFilter::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Backspace && m_onKey) m_onKey();
    const QString text = key->text();
    // Control characters (Backspace, Enter, Escape, Tab, shortcuts) pass.
    if (text.size() != 1 || text[0].unicode() < 0x20 || text[0].unicode() == 0x7F) return false;
    const QChar c = text[0];
    if (m_onKey) m_onKey();
    if (m_before && m_before(c)) return true;
    const bool listed = m_chars.contains(c);
    return m_accept ? !listed : listed;
}

void AddressRow(QLineEdit* const boxes[4]) {
    for (int i = 0; i < 4; ++i) {
        QLineEdit* box = boxes[i];
        QLineEdit* next = i < 3 ? boxes[i + 1] : nullptr;
        SelectOnFocus(box, 0, 3);
        KeyFilter* filter = KeyFilter::acceptOnly(box, kDigits);
        if (next) {
            filter->setBeforeKey([next](QChar c) {
                if (c != QLatin1Char('.')) return false;
                next->setFocus();
                return true;
            });
        }
        QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
            for (const QChar c : text) {
                if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                    box->clear();
                    return;
                }
            }
        });
    }
}

void SelectOnFocus(QLineEdit* box, int start, int length) {
    new FocusSelector(box, start, length);
}

}  // namespace kestcfg
