// The C library of the browser build knows code page 932 only by its JIS
// name; the shared POSIX code asks for it as CP932. The link wraps
// iconv_open (-Wl,--wrap=iconv_open) so that name is translated here.
#include <iconv.h>

#include <cstring>

extern "C" iconv_t __real_iconv_open(const char* to, const char* from);

namespace {
const char* Known(const char* name) { return std::strcmp(name, "CP932") == 0 ? "SHIFT_JIS" : name; }
}  // namespace

extern "C" iconv_t __wrap_iconv_open(const char* to, const char* from) {
  return __real_iconv_open(Known(to), Known(from));
}
