// frmSub_CFinfo, the memory card: total and free capacity in kilobytes.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_CFinfo;
}

namespace kestcfg {

class frmSub_CFinfo final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_CFinfo(QWidget* parent = nullptr);
    ~frmSub_CFinfo() override;

  private:
    void Form_Load();

    std::unique_ptr<Ui::frmSub_CFinfo> m_ui;
};

}  // namespace kestcfg
