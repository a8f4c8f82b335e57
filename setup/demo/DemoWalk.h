// kestcfg --demo --walk DIR: the demo walks through its own forms (connect,
// login, the main settings form, both searches) with nobody at the screen,
// saves a picture of each form in DIR and ends: 0 when every step did what
// it should.
#pragma once

#include <QString>

namespace kestcfg {

class DemoCameras;
class frmMain_IP;

int DemoWalk(frmMain_IP& connect, DemoCameras& cameras, const QString& dir);

}  // namespace kestcfg
