#include "setup/Global.h"

namespace kestcfg::Global {

void Reset() {
    ProgramFolder.clear();
    SettingsFile.clear();
    LanguageFile.clear();
    ConnectTimeout = kDefaultTimeout;
    CameraAddress.clear();
    CameraPassword = QString();
    NewPassword = QString();
    SelectedOctets = {};
    SearchCancelled = false;
    PasswordEntered = false;
    PasswordRetry = false;
    TypeNumber = 0;
    ProgramVersion = 0;
    PasswordSlot = 0;
    MotionColours = {};
    DemoMode = false;
}

}  // namespace kestcfg::Global
