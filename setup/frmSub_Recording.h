// frmSub_Recording, recording to the camera's memory card: what triggers a
// recording and how long around the trigger, the timer schedule, another
// frame rate while recording, what a full card does, and time-lapse
// recording. The six records of GetLocalRecInformation and
// SetLocalRecInformation.
#pragma once

#include <QByteArray>
#include <array>
#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmSub_Recording;
}

namespace kestcfg {

class RangeBox;

class frmSub_Recording final : public SubDialog {
    Q_OBJECT
  public:
    static constexpr int kTimerRows = 15;
    // The frame rates of the lists, by index.
    static constexpr std::array<int, 11> kFrameRates{30, 15, 10, 8, 7, 6, 5, 4, 3, 2, 1};
    // Day kinds of a timer row: every day, Sunday to Saturday, Monday to Friday.
    static constexpr int kDayKinds = 9;

    explicit frmSub_Recording(QWidget* parent = nullptr);
    ~frmSub_Recording() override;

  protected:
    bool Apply() override;

  private:
    enum Record { kTrigger, kAlarmRec, kTimerRec, kChangeFps, kCFFull, kTimeLapse, kRecords };

    void Form_Load();
    void ShowRecords();
    void EnableDependents();
    bool AnyTrigger() const;

    std::unique_ptr<Ui::frmSub_Recording> m_ui;
    RangeBox* m_before;
    RangeBox* m_after;
    RangeBox* m_deleteBefore;
    RangeBox* m_timelapse;
    // As read, and as last written: the fields the dialog does not show go
    // back as they were.
    std::array<QByteArray, kRecords> m_records;
};

}  // namespace kestcfg
