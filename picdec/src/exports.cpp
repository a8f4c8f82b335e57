// picdec.spi is picdec_core linked whole; its exports are the five entry points of plugin.cpp.
#include "picdec.h"
