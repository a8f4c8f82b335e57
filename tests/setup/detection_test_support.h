// What the tests of the live view and the alarm, recording and capacity
// dialogs share: a simulated model-11 camera the tool is connected to.
#pragma once

#include <QPoint>
#include <memory>
#include <mutex>

#include "sim/simulator.h"
#include "tests/setup/setup_fixture.h"

class QWidget;

namespace kestcfg::test {

class CameraTest : public SetupTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs f on the camera's state of family T under its lock.
    template <typename T, typename F>
    auto WithState(F f) {
        std::lock_guard lock(camera_->state_mutex());
        return f(camera_->State<T>());
    }
    // Every top-level window closed, and what they deleted later gone.
    void CloseWindows();

    std::unique_ptr<kest::sim::Simulator> camera_;
};

// A mouse event on widget at point, as a user's hand would send it.
void SendMouse(QWidget* widget, int type, const QPoint& point, Qt::MouseButton button,
               Qt::MouseButtons buttons);

}  // namespace kestcfg::test
