#include "setup/SetupForm.h"

#include <QShowEvent>

#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "widget/kest_widget.h"

namespace kestcfg {

SetupForm::SetupForm(QWidget* parent) : QDialog(parent) {}

void SetupForm::PrepareControl(kest::qt::KestWidget* control) {
    SetControl(control, Property::RemoteIPAddress, Global::CameraAddress);
    SetControl(control, Property::Timeout, int(Global::ConnectTimeout));
    SetControl(control, Property::Password, Global::CameraPassword.text());
}

int16_t SetupForm::Call(kest::qt::KestWidget* control, Method method, QVariantList& args) {
    return int16_t(control->call(int(method), args));
}

int16_t SetupForm::Call(kest::qt::KestWidget* control, Method method) {
    QVariantList none;
    return Call(control, method, none);
}

void SetupForm::SetControl(kest::qt::KestWidget* control, Property property,
                           const QVariant& value) {
    control->setControlProperty(int(property), value);
}

void SetupForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_centred && !event->spontaneous()) {
        m_centred = true;
        CentreOnScreen(this);
    }
}

}  // namespace kestcfg
