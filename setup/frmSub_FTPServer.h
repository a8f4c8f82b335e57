// frmSub_FTPServer: the camera's own FTP server, on or off.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_FTPServer;
}

namespace kestcfg {

class frmSub_FTPServer final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_FTPServer(QWidget* parent = nullptr);
    ~frmSub_FTPServer() override;

  private:
    void Form_Load();
    bool Apply() override;

    std::unique_ptr<Ui::frmSub_FTPServer> m_ui;
};

}  // namespace kestcfg
