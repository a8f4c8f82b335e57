// frmSub_SetTime: the camera's clock beside the PC's, set to the pickers' time, the PC's local time
// or the PC's time as GMT after a confirmation.
#pragma once

#include <QDateTime>
#include <memory>

#include "setup/SubDialog.h"

class QTimer;

namespace Ui {
class frmSub_SetTime;
}

namespace kestcfg {

class frmSub_SetTime final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_SetTime(QWidget* parent = nullptr);
    ~frmSub_SetTime() override;

  public slots:
    void cmdSetLocalTime_Click();
    void cmdSetGMT_Click();
    // Timer1: the pickers run with the camera's clock.
    void Timer1_Timer();

  private:
    void Form_Load();
    bool Apply() override;
    // Asks, then sends time as the camera's clock.
    bool SetClock(const QDateTime& time);
    void ShowDifference();

    std::unique_ptr<Ui::frmSub_SetTime> m_ui;
    int16_t m_ntp = 0;
    QByteArray m_ntpSetting;
    QByteArray m_dateTime;
    // The camera's clock less the PC's, in seconds, as read at load.
    qint64 m_offset = 0;
    bool m_clockValid = false;
    QTimer* m_timer = nullptr;
};

}  // namespace kestcfg
