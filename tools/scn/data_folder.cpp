#include "data_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/database.h"
#include "platform/sjis.h"
#include "streams/streams.h"

namespace scn_tool {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (sjis::IsLeadByte(c) && i + 1 < s.size()) {
      ++i;  // a trail byte is no letter
    } else if (c >= 'A' && c <= 'Z') {
      s[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return s;
}

// Folder (lower case, no trailing backslash), base name and lower-case
// extension of a game file name; a trail byte 0x5C separates nothing.
struct NameParts {
  std::string folder, base, ext;
};
NameParts Split(const std::string& name) {
  size_t slash = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (sjis::IsLeadByte(c) && i + 1 < name.size())
      ++i;
    else if (c == '\\' || c == '/')
      slash = i;
  }
  NameParts p;
  std::string file = name;
  if (slash != std::string::npos) {
    p.folder = Lower(name.substr(0, slash));
    file = name.substr(slash + 1);
  }
  const size_t dot = file.find_last_of('.');
  p.base = dot == std::string::npos ? file : file.substr(0, dot);
  p.ext = dot == std::string::npos ? "" : Lower(file.substr(dot + 1));
  return p;
}

// "cards7" with prefix "cards": a card number 1..kCardCount, for which the
// content build makes a picture.
bool IsCardPicture(const std::string& base, const std::string& prefix) {
  const std::string b = Lower(base);
  if (b.compare(0, prefix.size(), prefix) != 0 || b.size() == prefix.size()) return false;
  int n = 0;
  for (size_t i = prefix.size(); i < b.size(); ++i) {
    if (b[i] < '0' || b[i] > '9' || n > kCardCount) return false;
    n = n * 10 + (b[i] - '0');
  }
  return n >= 1 && n <= kCardCount && b[prefix.size()] != '0';
}

// The sources content/CMakeLists.txt makes a game file from, as names in
// the content folder.
std::vector<std::string> Sources(const NameParts& p) {
  const std::string& b = p.base;
  const std::string& f = p.folder;
  if (p.ext == "k16") {
    if (f.empty()) return {"art\\" + b + ".art"};
    if (f == "fg" || f == "cards") return {"art\\" + f + "\\" + b + ".art"};
  } else if (p.ext == "mid") {
    if (f == "bgm") return {"music\\" + b + ".abc", "music\\packed\\" + b + ".abc"};
    if (f == "bmid") return {"music\\bmid\\" + b + ".abc"};
  } else if (p.ext == "dpa") {
    if (f == "bgm") return {"music\\packed\\" + b + ".abc"};
  } else if (p.ext == "wav") {
    if (f == "se") return {"sfx\\" + b + ".sfx"};
    if (f == "wv" || f == "bwav") return {"sfx\\" + f + "\\" + b + ".sfx"};
  } else if (p.ext == "dec" && f.empty()) {
    return {"decks\\" + b + ".txt"};
  } else if (p.ext == "scn" && f.empty()) {
    return {"scenario\\" + b + ".scn"};
  } else if (p.ext == "dat" && f.empty()) {
    const std::string l = Lower(b);
    if (l == "carddata" || l == "atarts" || l == "dfarts") return {"database\\database.txt"};
  }
  return {};
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

DataFolder::DataFolder(const std::string& dir) : dir_(dir), files_(dir) {
  std::error_code ec;
  content_ = fs::is_regular_file(fs::path(dir) / "database" / "database.txt", ec) ||
             fs::is_directory(fs::path(dir) / "scenario", ec);
  if (!content_) return;
  std::istringstream in(ReadAll(fs::path(dir) / kCopiesFile));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name, source;
    if (!(words >> name >> source) || name[0] == '#') continue;
    std::string sjisName, sjisSource;
    if (posix::Utf8ToSjis(name, sjisName) && posix::Utf8ToSjis(source, sjisSource))
      copies_.emplace_back(Lower(sjisName), sjisSource);
  }
}

bool DataFolder::SourceOf(const std::string& sjisName) const {
  for (const auto& [name, source] : copies_)
    if (Lower(sjisName) == name) return SourceOf(source);
  const NameParts p = Split(sjisName);
  if (p.ext == "k16" && (p.folder == "cards" || p.folder == "cardl") &&
      IsCardPicture(p.base, p.folder))
    return true;
  for (const std::string& source : Sources(p))
    if (files_.Exists(source.c_str())) return true;
  return false;
}

bool DataFolder::Has(const std::string& sjisName) const {
  return content_ ? SourceOf(sjisName) : files_.Exists(sjisName.c_str());
}

bool DataFolder::HasSong(const std::string& sjisName) const {
  return Has(sjisName) || Has(PackedAlternativeName(sjisName.c_str()));
}

std::map<std::string, std::string> DataFolder::Scenarios() const {
  std::map<std::string, std::string> out;
  const fs::path folder = content_ ? fs::path(dir_) / "scenario" : fs::path(dir_);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file(ec) || Lower(path.extension().string()) != ".scn") continue;
    const std::string text = ReadAll(path);
    out[path.stem().string()] = content_ ? text : posix::SjisToUtf8(text);
  }
  return out;
}

}  // namespace scn_tool
