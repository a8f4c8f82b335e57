// File-system services: temporary files, folders, free space, library loading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kest::platform {

// $TMPDIR, else /tmp.
std::string TempFolder();

// Creates a new empty file "<folder>/<prefix>XXXXXX" exclusively; its full path,
// or nullopt when it cannot be made.
std::optional<std::string> MakeTempFile(const std::string& prefix);

// The process's current directory ("" when it cannot be read).
std::string CurrentDirectory();

// Joins a folder and a name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

// The last component of a path.
std::string FileTitle(const std::string& path);

// Bytes available to the caller on the file system holding path; nullopt on error.
std::optional<uint64_t> FreeDiskBytes(const std::string& path);

// The folder of the running program (/proc/self/exe).
std::string ProgramFolder();

// The folder of the shared object that holds address (dladdr); "" when unknown.
std::string ModuleFolder(const void* address);

}  // namespace kest::platform
