// frmRefer_View, the reference picture the camera detects motion against,
// fetched again by hand or at an interval. The live view's stream is
// stopped around each fetch and started again after it.
#pragma once

#include <QPointer>
#include <QTemporaryDir>
#include <memory>

#include "setup/SetupForm.h"

class QTimer;

namespace Ui {
class frmRefer_View;
}

namespace kestcfg {

class RangeBox;
class frmView;

class frmRefer_View final : public SetupForm {
    Q_OBJECT
  public:
    frmRefer_View(frmView* view, QWidget* parent = nullptr);
    ~frmRefer_View() override;

    // Where the reference picture is kept while the form is open.
    QString referenceFile() const;

  public slots:
    void cmdReload_Click();
    void chkAuto_Reload_Click();
    void Timer1_Timer();
    void cmd_Close_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    void Reload();
    void AutoReload(bool on);

    std::unique_ptr<Ui::frmRefer_View> m_ui;
    QPointer<frmView> m_view;
    QTimer* m_timer;
    RangeBox* m_interval;
    // A folder of the tool's own: the current directory may be read-only
    // or shared with other programs.
    QTemporaryDir m_folder;
    bool m_closed = false;
};

}  // namespace kestcfg
