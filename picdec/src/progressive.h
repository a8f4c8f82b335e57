// Scan decoding into the whole-picture coefficient buffer (progressive scans as in T.81
// Annex G, and sequential scans of multi-scan pictures).
#pragma once

#include "context.h"

namespace picdec {

// Restart bookkeeping shared by both kinds of scan.
struct RestartState {
    int interval = 0;
    int todo = 0;
    int expected = 0;  // n of the next RSTn
};

// At a restart boundary: finds the marker, re-synchronises, resets the DC predictors and the
// bit reader. Reaching the end of the data is broken data.
[[nodiscard]] Status ProcessRestart(Context& ctx, BitReader& br, RestartState& rs,
                                    const Scan& scan);

[[nodiscard]] Status DecodeCoefficientScan(Context& ctx, const Scan& scan, BitReader& br);

}  // namespace picdec
