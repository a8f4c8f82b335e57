// frmWork_KestSearch, the camera search dialog: lists the cameras that
// answer a search, shows a camera's MAC address on request, and hands the
// chosen address back to the connect dialog. Hidden, not unloaded, between
// uses, so it keeps its search time.
#pragma once

#include <QPointer>
#include <memory>

#include "setup/SetupForm.h"

class QAction;
class QMenu;

namespace Ui {
class frmWork_KestSearch;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class CameraSearch;
class frmWork_MultiCastSearch;

// A search time as typed: a number of 1 to 30 seconds.
bool SearchTimeValid(const QString& text);

class frmWork_KestSearch final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmWork_KestSearch(QWidget* parent = nullptr);
    ~frmWork_KestSearch() override;

    // vn_Search, which the multicast search dialog searches with too.
    kest::qt::KestWidget* searchControl() const;
    frmWork_MultiCastSearch* multicastForm() const;
    QMenu* rightClickMenu() const { return m_menu; }

  public slots:
    void cmdSearch_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdMultiCastSearch_Click();
    void mn_MACAddress_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    void searchFinished(const QByteArray& entries, int count);
    void setSearching(bool on);

    std::unique_ptr<Ui::frmWork_KestSearch> m_ui;
    CameraSearch* m_search;
    QMenu* m_menu;
    QAction* m_macAddress;
    QPointer<frmWork_MultiCastSearch> m_multicast;
    // The search time: 3 s until the user changes it, then the last value.
    int16_t m_searchTime = 0;
};

}  // namespace kestcfg
