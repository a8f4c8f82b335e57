// frmSub_Web: the camera's web server: its default page, HTTP port and whether browsers may keep
// its pages.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_Web;
}

namespace kestcfg {

class frmSub_Web final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_Web(QWidget* parent = nullptr);
    ~frmSub_Web() override;

  public slots:
    void optDefaultPageOn_Click();
    void optDefaultPageOFF_Click();

  private:
    void Form_Load();
    bool Apply() override;
    void EnablePage(bool on);

    std::unique_ptr<Ui::frmSub_Web> m_ui;
};

}  // namespace kestcfg
