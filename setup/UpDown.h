// An up-down control: two arrow buttons beside a text box (its buddy) that
// step the box's number within a range, as the arrow keys in the box do.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace kestcfg {

class UpDown final : public QWidget {
    Q_OBJECT
  public:
    explicit UpDown(QWidget* parent = nullptr);

    void setBuddy(QLineEdit* buddy);
    QLineEdit* buddy() const { return m_buddy; }
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    // Moves the buddy's number by steps, kept within the range.
    void stepBy(int steps);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
};

}  // namespace kestcfg
