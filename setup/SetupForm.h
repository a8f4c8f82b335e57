// What every form of the setup tool shares: a top-level dialog centred on
// the screen the first time it is shown, whose control is called by DISPID
// with the tool's program-wide address, time-out and password.
#pragma once

#include <QDialog>
#include <QVariantList>
#include <cstdint>

#include "setup/KestMethods.h"

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class SetupForm : public QDialog {
    Q_OBJECT
  public:
    explicit SetupForm(QWidget* parent = nullptr);

    // Copies CameraAddress, ConnectTimeout and CameraPassword into control,
    // as every form does before its first call.
    static void PrepareControl(kest::qt::KestWidget* control);
    // Calls method on control with args (out parameters and buffers come back
    // in args). A call the control cannot take reads as result -1.
    static int16_t Call(kest::qt::KestWidget* control, Method method, QVariantList& args);
    static int16_t Call(kest::qt::KestWidget* control, Method method);
    static void SetControl(kest::qt::KestWidget* control, Property property, const QVariant& value);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool m_centred = false;
};

}  // namespace kestcfg
