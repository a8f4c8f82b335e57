// The forms that other forms reach: the connect dialog, which lives as long
// as the program, and the main settings form while it is open.
#pragma once

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class frmMain_IP;
class frmMain_Setting_Marten;

frmMain_IP* ConnectForm();
frmMain_Setting_Marten* SettingForm();
// The main settings form shows again (a dialog it opened has unloaded).
void ShowSettingForm();
// The controls of the two forms (null when the form is not there).
kest::qt::KestWidget* ConnectControl();
kest::qt::KestWidget* SettingControl();

}  // namespace kestcfg
