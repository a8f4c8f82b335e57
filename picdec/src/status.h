// Internal result of every decoding step; the numeric values are the plug-in's result codes.
#pragma once

namespace picdec {

enum class Status : int {
    kOk = 0,
    kCancelled = 1,
    kUnsupported = 2,
    kBroken = 3,
    kNoMemory = 4,
    kOpenFailed = 6,
    kTruncated = 10,
    kBadInputKind = -1,
};

inline bool Failed(Status s) {
    return s != Status::kOk;
}

}  // namespace picdec
