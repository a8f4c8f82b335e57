// A number box held to a range, with an optional slider or scroll bar that
// shows the same number. A value beyond the maximum is corrected as it is
// typed; an empty box or one below the minimum when the box is left (or
// Enter pressed), since more digits may still bring it into the range.
// Every change of the slider, by mouse, keys or code, writes the box.
#pragma once

#include <QObject>

class QAbstractSlider;
class QLineEdit;

namespace kestcfg {

class RangeBox final : public QObject {
    Q_OBJECT
  public:
    RangeBox(QLineEdit* box, int minimum, int maximum, QAbstractSlider* slider = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    QLineEdit* box() const { return m_box; }
    // Clamped to the range; writes the box and the slider.
    void setValue(int value);

  signals:
    // The value changed, whoever changed it.
    void valueChanged(int value);

  private:
    void Edited(const QString& text);
    void Finished();
    void Show(int value);

    QLineEdit* m_box;
    QAbstractSlider* m_slider;
    int m_minimum;
    int m_maximum;
    int m_value;
    bool m_showing = false;
};

}  // namespace kestcfg
