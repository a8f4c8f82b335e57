// frmMain_Setting_Marten, the main settings form. The connect dialog shows
// it once the camera is identified and logged in to; leaving it shows the
// connect dialog again.
#pragma once

#include <memory>

#include "setup/SetupForm.h"

namespace Ui {
class frmMain_Setting_Marten;
}

namespace kestcfg {

class frmMain_Setting_Marten final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmMain_Setting_Marten(QWidget* parent = nullptr);
    ~frmMain_Setting_Marten() override;

  public slots:
    void cmdCancel_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    std::unique_ptr<Ui::frmMain_Setting_Marten> m_ui;
};

}  // namespace kestcfg
