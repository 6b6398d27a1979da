// qf-scn: checks scenario sources and writes the game's scenario files.
//
//   qf-scn build [--data DIR] OUTDIR SOURCE.scn...   check all, then write OUTDIR/NAME.scn
//   qf-scn check [--data DIR] SOURCE.scn...          only check
//
// Sources are UTF-8; the game reads Shift-JIS. Every problem is reported as
// file:line: why, and nothing is written when there is one. With --data,
// DIR (a built data folder or a content folder laid out like content/) is
// what the scenarios are checked against: the files they name, the
// engine's own files, and the text's room in its windows.
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "data_folder.h"
#include "scn.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qf-scn build [--data DIR] OUTDIR SOURCE.scn...\n"
               "       qf-scn check [--data DIR] SOURCE.scn...\n");
  return 2;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".scn") == 0)
    name.resize(name.size() - 4);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string mode = argv[1];
  if (mode != "build" && mode != "check") return Usage();
  int next = 2;
  std::unique_ptr<scn_tool::DataFolder> data;
  if (std::string(argv[next]) == "--data") {
    if (argc <= next + 1) return Usage();
    data = std::make_unique<scn_tool::DataFolder>(argv[next + 1]);
    next += 2;
  }
  const std::string outDir = mode == "build" && next < argc ? argv[next++] : "";
  if (argc <= next) return Usage();
  std::vector<scn_tool::Source> sources;
  for (int i = next; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot be read\n", argv[i]);
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    sources.push_back({BaseName(argv[i]), argv[i], text.str()});
  }
  const scn_tool::Result r = scn_tool::Compile(sources, data.get());
  for (const auto& w : r.warnings) std::fprintf(stderr, "%s (warning)\n", w.c_str());
  for (const auto& e : r.errors) std::fprintf(stderr, "%s\n", e.c_str());
  if (!r.errors.empty()) return 1;
  if (mode == "check") return 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::string out = outDir + "/" + sources[i].name + ".scn";
    std::ofstream f(out, std::ios::binary);
    f << r.output[i];
    if (!f) {
      std::fprintf(stderr, "%s: cannot be written\n", out.c_str());
      return 1;
    }
  }
  return 0;
}
