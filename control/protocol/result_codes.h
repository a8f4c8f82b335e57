// Results of the command functions: 0 done, positive a command-specific value
// from the reply, negative an error.
#pragma once

#include <cstdint>

namespace kest::protocol {

enum CommandResult : int32_t {
    kDone = 0,
    kNoReply = -1,           // not sent, or no matching reply within wait and retry window
    kRefused = -2,           // the camera's status says no
    kNoReceiveBuffer = -3,   // session open: the receive buffer could not be allocated
    kSocketStartup = -4,     // socket library start-up (cannot fail on this platform)
    kBadCameraAddress = -5,  // the camera address text is not an address
    kSocketCreate = -6,
    kNonBlocking = -7,
    kOutOfRange = -10,
    kResendZero = -20,        // scmd_resend_page answered 0
    kBadReply = -30,          // the reply holds a value that cannot be right (a negative count)
    kFrameSizeZero = -41,     // scmd_set_frame_size answered a zero size code
    kScaleFactorZero = -53,   // scmd_set_scale_factor answered a zero factor
    kHttpPortRejected = -70,  // scmd_set_http_port: status 2
    kBadAddressArgument = -90,
    kMissingArgument = -100,  // null output, zero port, negative session port
    kNoSession = -200,
    kSessionOpen = -201,
};

}  // namespace kest::protocol
