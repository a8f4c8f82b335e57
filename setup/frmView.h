// frmView, the live view: the camera's picture with the motion-detection
// lattice and the selected areas, drawn by its control. The installer picks
// detection areas with the mouse (left selects, right clears, a drag does
// the same for every area it crosses) or the keyboard, and opens the
// detection settings. A stream that ends is started again where the end
// code allows it.
#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>

#include "setup/SubDialog.h"

class QLabel;
class QTimer;

namespace Ui {
class frmView;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class frmSub_MotionDetection;
class AreaCursor;

class frmView final : public SubDialog {
    Q_OBJECT
  public:
    // The lattice: 20 columns by 15 rows, area n in column n % 20, row n / 20.
    static constexpr int kColumns = 20;
    static constexpr int kRows = 15;
    static constexpr int kAreas = kColumns * kRows;
    // StartDownloading calls after an end that allows a restart.
    static constexpr int kRestartAttempts = 10;

    explicit frmView(QWidget* parent = nullptr);
    ~frmView() override;

    kest::qt::KestWidget* viewControl() const;
    // The detection settings dialog while it is open.
    frmSub_MotionDetection* detailDialog() const;
    // True from the start of closing: nothing starts the stream again.
    bool unloading() const { return m_unloading; }
    // The area (as the camera numbers it) under a point of vn_View; -1
    // outside the picture.
    int AreaAt(const QPoint& point) const;
    // The pause between two restart attempts (tests make it short).
    void setRestartPause(int ms) { m_restartPause = ms; }
    // Stops the picture stream; its end (code 101) is not acted on.
    void StopStream();
    // Starts it again; a start that fails begins the restart attempts.
    void StartStream();

  public slots:
    void cmdDetail_Click();
    void vn_View_ChangeFrameSize(int width, int height);
    void vn_View_ChangeUpsideDown(int upsideDown);
    void vn_View_MouseDown(int button, int shift, int x, int y);
    void vn_View_MouseMove(int button, int shift, int x, int y);
    void vn_View_EndDownloading(int errorCode);

  protected:
    void Unloading() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void SizeToPicture(int width, int height);
    // Selects (1) or clears (0) an area in the camera; false when the call
    // failed (message 225 shown).
    bool PickArea(int area, int enable);
    // Every area the pointer crosses from m_lastPoint to point.
    void PickAlong(const QPoint& point, int enable);
    void RestartAttempt();
    void NoPicture(const QString& text);
    void NewImage();
    void ShowFrameRate();
    bool AreaSelected(int area) const;

    std::unique_ptr<Ui::frmView> m_ui;
    QLabel* m_noPicture;
    AreaCursor* m_cursor;
    QPointer<frmSub_MotionDetection> m_detail;
    // The camera's area set as read at opening and changed since: bit n is area n.
    std::array<uint8_t, 40> m_areas{};
    bool m_upsideDown = false;
    // The drag in progress: its button (0 none), where the pointer was, and
    // the last area it set.
    int m_dragButton = 0;
    QPoint m_lastPoint;
    int m_lastArea = -1;
    QTimer* m_restart;
    int m_restartPause = 500;
    int m_attempt = 0;
    QTimer* m_rate;
    QElapsedTimer m_rateClock;
    int m_frames = 0;
    bool m_unloading = false;
};

}  // namespace kestcfg
