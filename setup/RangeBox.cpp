#include "setup/RangeBox.h"

#include <QAbstractSlider>
#include <QLineEdit>
#include <algorithm>

#include "setup/Common_Function.h"
#include "setup/EntryRules.h"

namespace kestcfg {

RangeBox::RangeBox(QLineEdit* box, int minimum, int maximum, QAbstractSlider* slider)
    : QObject(box),
      m_box(box),
      m_slider(slider),
      m_minimum(minimum),
      m_maximum(std::max(minimum, maximum)),
      m_value(minimum) {
    KeyFilter::acceptOnly(box, kDigits);
    // As many digits as the maximum has, so a typed value is at most one
    // correction away from the range.
    box->setMaxLength(int(QString::number(m_maximum).size()));
    connect(box, &QLineEdit::textEdited, this, &RangeBox::Edited);
    connect(box, &QLineEdit::editingFinished, this, &RangeBox::Finished);
    if (m_slider) {
        m_slider->setRange(m_minimum, m_maximum);
        connect(m_slider, &QAbstractSlider::valueChanged, this, [this](int value) {
            if (!m_showing) setValue(value);
        });
    }
    Show(m_value);
}

void RangeBox::Edited(const QString& text) {
    if (text.isEmpty() || !IsAllDigits(text)) return;
    const int typed = LeadingNumber(text);
    if (typed > m_maximum) {
        setValue(m_maximum);
    } else if (typed >= m_minimum) {
        setValue(typed);
    }
}

void RangeBox::Finished() {
    const QString text = m_box->text();
    const int typed = text.isEmpty() || !IsAllDigits(text) ? m_minimum : LeadingNumber(text);
    setValue(typed);
    // "007" and the like show as the number they are.
    if (m_box->text() != QString::number(m_value)) m_box->setText(QString::number(m_value));
}

void RangeBox::setValue(int value) {
    value = std::clamp(value, m_minimum, m_maximum);
    Show(value);
    if (value == m_value) return;
    m_value = value;
    emit valueChanged(value);
}

void RangeBox::Show(int value) {
    m_showing = true;
    // Leaves a typed text that already reads as the value (such as "07").
    const QString text = m_box->text();
    if (text.isEmpty() || !IsAllDigits(text) || LeadingNumber(text) != value) {
        m_box->setText(QString::number(value));
    }
    if (m_slider) m_slider->setValue(value);
    m_showing = false;
}

}  // namespace kestcfg
