// What the setup tool shows for a result code of the control.
#pragma once

#include <cstdint>

class QWidget;

namespace kestcfg {

// Shows the message that belongs to result code.
void ReportResult(int16_t code);

// As ReportResult, except: -55 shows nothing; -401 (password missing or
// wrong) asks for the password (after message 206 from the second time on)
// and returns true when the caller is to try again with the new
// CameraPassword. Returns false otherwise.
bool HandleResult(int16_t& code);

}  // namespace kestcfg
