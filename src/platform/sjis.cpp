#include "platform/sjis.h"

namespace sjis {

size_t FitLength(const char* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != '\0') {
    size_t width = 1;
    if (IsLeadByte(static_cast<unsigned char>(text[n]))) {
      if (n + 2 > limit) break;
      width = text[n + 1] != '\0' ? 2 : 1;
    }
    n += width;
  }
  return n;
}

long FindLastSeparator(const char* text, char sep) {
  long last = -1;
  for (long i = 0; text[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c)) {
      if (text[i + 1] == '\0') break;
      ++i;  // the trail byte may equal the separator; it is not one
      continue;
    }
    if (text[i] == sep) last = i;
  }
  return last;
}

std::string DataDirectoryOf(const char* modulePathSjis) {
  const long cut = FindLastSeparator(modulePathSjis, '\\');
  std::string dir(modulePathSjis, cut < 0 ? 0 : static_cast<size_t>(cut));
  return dir + "\\data";
}

std::vector<std::string> SplitPath(const char* nameSjis) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; nameSjis[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(nameSjis[i]);
    if (IsLeadByte(c) && nameSjis[i + 1] != '\0') {
      parts.back() += nameSjis[i];
      parts.back() += nameSjis[++i];
    } else if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += nameSjis[i];
    }
  }
  return parts;
}

}  // namespace sjis
