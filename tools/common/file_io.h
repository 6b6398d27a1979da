// Whole-file reads and writes for the content tools' command lines.
#pragma once

#include <cstddef>
#include <string>

namespace toolfile {

// False when the file cannot be opened.
bool ReadFile(const std::string& path, std::string& out);
// Replaces the file; false when it could not be written whole.
bool WriteFile(const std::string& path, const void* data, size_t size);

}  // namespace toolfile
