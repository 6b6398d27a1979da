// qf-dbc build SOURCE OUTDIR   compile a database source to the three files
// qf-dbc dump DATADIR SOURCE   write the source of existing files
#include <cstdio>
#include <string>

#include "common/file_io.h"
#include "dbc.h"

namespace {

using toolfile::ReadFile;
using toolfile::WriteFile;

int Usage() {
  std::fprintf(stderr,
               "usage: qf-dbc build SOURCE OUTDIR\n"
               "       qf-dbc dump DATADIR SOURCE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string mode = argv[1], a = argv[2], b = argv[3];
  const char* const names[] = {"/CardData.dat", "/AtArts.dat", "/DfArts.dat"};
  if (mode == "build") {
    std::string source;
    if (!ReadFile(a, source)) {
      std::fprintf(stderr, "%s: cannot read\n", a.c_str());
      return 1;
    }
    dbc::DatabaseFiles files;
    std::vector<std::string> errors, warnings;
    const bool compiled = dbc::Compile(source, a, files, errors, &warnings);
    for (const auto& w : warnings) std::fprintf(stderr, "%s (warning)\n", w.c_str());
    if (!compiled) {
      for (const auto& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
      return 1;
    }
    const std::vector<uint8_t>* parts[] = {&files.cards, &files.attack, &files.defence};
    for (int i = 0; i < 3; ++i)
      if (!WriteFile(b + names[i], parts[i]->data(), parts[i]->size())) {
        std::fprintf(stderr, "%s%s: cannot write\n", b.c_str(), names[i]);
        return 1;
      }
    return 0;
  }
  if (mode == "dump") {
    dbc::DatabaseFiles files;
    std::vector<uint8_t>* parts[] = {&files.cards, &files.attack, &files.defence};
    for (int i = 0; i < 3; ++i) {
      std::string bytes;
      if (!ReadFile(a + names[i], bytes)) {
        std::fprintf(stderr, "%s%s: cannot read\n", a.c_str(), names[i]);
        return 1;
      }
      parts[i]->assign(bytes.begin(), bytes.end());
    }
    std::vector<std::string> warnings;
    const std::string source = dbc::Dump(files, warnings);
    for (const auto& w : warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
    if (!WriteFile(b, source.data(), source.size())) {
      std::fprintf(stderr, "%s: cannot write\n", b.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}
