// frmSub_DHCP: the camera's DHCP state: the server that gave it its address and the lease times. It
// only shows.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_DHCP;
}

namespace kestcfg {

class frmSub_DHCP final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_DHCP(QWidget* parent = nullptr);
    ~frmSub_DHCP() override;

  private:
    void Form_Load();

    std::unique_ptr<Ui::frmSub_DHCP> m_ui;
};

}  // namespace kestcfg
