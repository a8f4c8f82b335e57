// frmSub_MultiCast: unicast or multicast streaming and the camera's multicast group. Applying
// restarts the camera, and the tool returns to the connect dialog.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_MultiCast;
}

namespace kestcfg {

class frmSub_MultiCast final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_MultiCast(QWidget* parent = nullptr);
    ~frmSub_MultiCast() override;

  public slots:
    void optUnicast_Click();
    void optMultiCast_Click();

  private:
    void Form_Load();
    bool Apply() override;
    void Unloading() override;

    std::unique_ptr<Ui::frmSub_MultiCast> m_ui;
    bool m_restarted = false;
};

}  // namespace kestcfg
