// frmSub_FTPSetting_Sable: picture upload to an FTP server: the account, the server, the folder,
// the interval, what to do on errors and how the pictures are named.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_FTPSetting_Sable;
}

namespace kestcfg {

class frmSub_FTPSetting_Sable final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_FTPSetting_Sable(QWidget* parent = nullptr);
    ~frmSub_FTPSetting_Sable() override;

  private:
    void Form_Load();
    bool Apply() override;

    std::unique_ptr<Ui::frmSub_FTPSetting_Sable> m_ui;
    // The record as read, so the bytes the dialog does not fill keep their value.
    QByteArray m_setting;
};

}  // namespace kestcfg
