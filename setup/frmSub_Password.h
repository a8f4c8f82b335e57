// frmSub_Password, opened from the main settings form: sets or switches off
// the camera password of one level (the program-wide password slot) with
// the main settings form's control.
#pragma once

#include <memory>

#include "setup/SetupForm.h"

namespace Ui {
class frmSub_Password;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class frmSub_Password final : public SetupForm {
    Q_OBJECT
  public:
    // setting: the main settings form's control (vn_Setting).
    frmSub_Password(kest::qt::KestWidget* setting, QWidget* parent = nullptr);
    ~frmSub_Password() override;

  public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void reject() override;

  private:
    std::unique_ptr<Ui::frmSub_Password> m_ui;
    kest::qt::KestWidget* m_setting;
};

}  // namespace kestcfg
