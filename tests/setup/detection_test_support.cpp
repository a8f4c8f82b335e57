#include "tests/setup/detection_test_support.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "setup/Global.h"
#include "setup/demo/UiDriver.h"
#include "sim/imaging.h"

namespace kestcfg::test {

void CameraTest::SetUp() {
    SetupTest::SetUp();
    camera_ = StartCamera(11);
    // The state the connect dialog leaves behind for a model-11 camera.
    Global::CameraAddress = QString::fromStdString(camera_->address());
    Global::TypeNumber = 11;
    Global::ProgramVersion = 20;
    WithState<kest::sim::ImagingState>([](auto& s) { s.motion_detect = 1; });
}

void CameraTest::CloseWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) w->close();
    }
    ui::WaitFor([] { return false; }, 50);
}

void CameraTest::TearDown() {
    CloseWindows();
    camera_.reset();
    SetupTest::TearDown();
}

void SendMouse(QWidget* widget, int type, const QPoint& point, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(QEvent::Type(type), QPointF(point), widget->mapToGlobal(QPointF(point)),
                      button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}  // namespace kestcfg::test
