// frmSub_NTP: the camera clock: set from an NTP server (time zone, server, adjustment interval) or
// by hand.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_NTP;
}

namespace kestcfg {

class frmSub_NTP final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_NTP(QWidget* parent = nullptr);
    ~frmSub_NTP() override;

  public slots:
    void cmdSetLocalTime_Click();
    void cmdSetGMT_Click();

  private:
    void Form_Load();
    bool Apply() override;

    std::unique_ptr<Ui::frmSub_NTP> m_ui;
    // As read at load: the half the dialog does not send anew.
    QByteArray m_ntpSetting;
    QByteArray m_dateTime;
};

}  // namespace kestcfg
