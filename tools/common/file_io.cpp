#include "common/file_io.h"

#include <fstream>
#include <iterator>

namespace toolfile {

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream o(path, std::ios::binary | std::ios::trunc);
  o.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  o.close();
  return static_cast<bool>(o);
}

}  // namespace toolfile
