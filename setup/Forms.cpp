#include "setup/Forms.h"

#include "setup/frmMain_IP.h"
#include "setup/frmMain_Setting_Marten.h"

namespace kestcfg {

frmMain_IP* ConnectForm() {
    return frmMain_IP::instance();
}

frmMain_Setting_Marten* SettingForm() {
    frmMain_IP* connect = ConnectForm();
    return connect ? connect->settingForm() : nullptr;
}

void ShowSettingForm() {
    if (frmMain_Setting_Marten* form = SettingForm()) {
        form->show();
        form->raise();
        form->activateWindow();
    }
}

kest::qt::KestWidget* ConnectControl() {
    frmMain_IP* connect = ConnectForm();
    return connect ? connect->connectControl() : nullptr;
}

kest::qt::KestWidget* SettingControl() {
    frmMain_Setting_Marten* form = SettingForm();
    return form ? form->settingControl() : nullptr;
}

}  // namespace kestcfg
