// frmSub_Memory_Info, the camera's recording memory: total and free
// capacity in kilobytes.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_Memory_Info;
}

namespace kestcfg {

class frmSub_Memory_Info final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_Memory_Info(QWidget* parent = nullptr);
    ~frmSub_Memory_Info() override;

  private:
    void Form_Load();

    std::unique_ptr<Ui::frmSub_Memory_Info> m_ui;
};

}  // namespace kestcfg
