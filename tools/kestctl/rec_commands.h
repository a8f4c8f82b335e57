// kestctl's commands for ".rec" files and for recording a live stream.
#pragma once

#include <string>
#include <vector>

#include "tools/kestctl/host.h"

namespace kestctl {

// "rec info|extract|export|repair ...": exit code 0 done, 1 the file could
// not be read or written; throws UsageError for bad arguments.
int RunRec(const std::vector<std::string>& args);

// "record --seconds S DIR" on the host's control (its properties set).
int RunRecord(Host& host, const std::vector<std::string>& args);

}  // namespace kestctl
