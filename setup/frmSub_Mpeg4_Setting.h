// frmSub_Mpeg4_Setting: the MPEG-4 stream's frame rate and bit rate.
#pragma once

#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_Mpeg4_Setting;
}

namespace kestcfg {

class frmSub_Mpeg4_Setting final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_Mpeg4_Setting(QWidget* parent = nullptr);
    ~frmSub_Mpeg4_Setting() override;

  private:
    void Form_Load();
    bool Apply() override;

    std::unique_ptr<Ui::frmSub_Mpeg4_Setting> m_ui;
    int m_readMode = -1;
};

}  // namespace kestcfg
