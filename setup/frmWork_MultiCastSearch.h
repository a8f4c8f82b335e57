// frmWork_MultiCastSearch, opened from the search dialog: lists the cameras
// that answer a multicast search, with their multicast group and whether
// they send to it. It searches with the search dialog's control.
#pragma once

#include <memory>

#include "setup/SetupForm.h"

namespace Ui {
class frmWork_MultiCastSearch;
}

namespace kestcfg {

class CameraSearch;
class frmWork_KestSearch;

class frmWork_MultiCastSearch final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmWork_MultiCastSearch(frmWork_KestSearch* owner);
    ~frmWork_MultiCastSearch() override;

  public slots:
    void cmdMultiCastSearch_Click();
    void cmdClose_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    void searchFinished(const QByteArray& entries, int count);
    void setSearching(bool on);

    std::unique_ptr<Ui::frmWork_MultiCastSearch> m_ui;
    CameraSearch* m_search;
};

}  // namespace kestcfg
