// kestcfg, the camera setup tool.
#include "setup/SetUpMain_Function.h"

int main(int argc, char** argv) {
    return kestcfg::Main(argc, argv);
}
