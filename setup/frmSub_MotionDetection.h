// frmSub_MotionDetection, the detection settings of the live view: the
// threshold, percent and noise filter of the areas, detection on or off,
// the reload interval, the distinct time and the mask. Every change goes to
// the camera at once, so the live view shows its effect; Cancel sends the
// values read at opening back.
#pragma once

#include <QPointer>
#include <cstdint>
#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_MotionDetection;
}

namespace kestcfg {

class RangeBox;
class frmRefer_View;
class frmView;

class frmSub_MotionDetection final : public SubDialog {
    Q_OBJECT
  public:
    explicit frmSub_MotionDetection(frmView* view);
    ~frmSub_MotionDetection() override;

    // The reference picture while cmdReference shows it.
    frmRefer_View* referenceForm() const;

  public slots:
    void cmdReload_Click();
    void cmdReference_Click();
    void cmdCancel_Click();

  protected:
    // The dialog belongs to the live view, which stays.
    void Unloading() override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void SendArea();
    void SendMotion();
    bool Sent(int16_t result);
    // The values read at opening, back to the camera.
    void Restore();

    std::unique_ptr<Ui::frmSub_MotionDetection> m_ui;
    QPointer<frmView> m_view;
    QPointer<frmRefer_View> m_refer;
    RangeBox* m_threshold;
    RangeBox* m_percent;
    RangeBox* m_noiseFilter;
    RangeBox* m_reload;
    RangeBox* m_distinct;
    // As read at opening: threshold, percent, noise filter; enable, reload
    // interval, distinct time, mask.
    int16_t m_readArea[3] = {};
    int16_t m_readMotion[4] = {};
    // As last sent.
    int16_t m_sentArea[3] = {};
    int16_t m_sentMotion[4] = {};
    bool m_loading = true;
    bool m_sendFailed = false;
    bool m_unloaded = false;
};

}  // namespace kestcfg
