// frmWork_Password_Cport, the login prompt: asked for when the camera
// refuses the current password. OK sets the tool's CameraPassword.
#pragma once

#include <memory>

#include "setup/SetupForm.h"

namespace Ui {
class frmWork_Password_Cport;
}

namespace kestcfg {

class frmWork_Password_Cport final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmWork_Password_Cport(QWidget* parent = nullptr);
    ~frmWork_Password_Cport() override;

  public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void reject() override;

  private:
    std::unique_ptr<Ui::frmWork_Password_Cport> m_ui;
};

}  // namespace kestcfg
