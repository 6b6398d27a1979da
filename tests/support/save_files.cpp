#include "support/save_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr FileField kFields[] = {
    {"slot", "scenario", 0, 260, 0},
    {"slot", "line", 260, 4, 0},
    {"slot", "returnScenario", 264, 256, 260},
    {"slot", "returnLine", 264 + 256, 4, 260},
    {"slot", "date", 2864, 4, 4},  // the nine fields of the calendar record
    {"slot", "strong", 2900, 1, 0},
    {"slot", "money", 2904, 4, 0},
    {"slot", "maxhp", 2908, 4, 0},
    {"slot", "hp", 2912, 4, 0},
    {"slot", "maxmp", 2916, 4, 0},
    {"slot", "mp", 2920, 4, 0},
    {"slot", "result", 2924, 4, 0},
    {"slot", "deckCount", 2928, 4, 0},
    {"slot", "deck", 2932, 4, 4},  // entry 0 holds no card
    {"slot", "stockCount", 3336, 4, 0},
    {"slot", "stock", 3340, 4, 4},
    {"slot", "backPicture", 4544, 260, 0},
    {"slot", "placePicture", 4804, 260, 0},
    {"slot", "face1Picture", 5324, 260, 0},
    {"slot", "face2Picture", 5584, 260, 0},
    {"slot", "backShown", 5844, 4, 0},
    {"slot", "face1Shown", 5852, 4, 0},
    {"slot", "face2Shown", 5856, 4, 0},
    {"slot", "msgShown", 5864, 4, 4},  // msg1..msg4 at 0..3
    {"slot", "placeShown", 5880, 4, 0},
    {"slot", "dateShown", 5884, 4, 0},
    {"slot", "currentWindow", 5888, 4, 0},
    {"slot", "lineCount", 5892, 4, 4},  // windows 1..4 at 0..3
    {"slot", "lines1", 5908, 81, 81},   // line i of window 1 at i
    {"slot", "lines2", 6394, 81, 81},
    {"slot", "lines3", 6880, 81, 81},
    {"slot", "lines4", 7204, 81, 81},
    {"slot", "music", 8824, 260, 0},
    {"slot", "loopWave", 9084, 260, 0},
    {"slot", "choiceCount", 9344, 4, 0},
    {"slot", "choiceText", 9348, 256, 536},  // choice i at i
    {"slot", "choiceTarget", 9348 + 256, 256, 536},
    {"slot", "choiceFirstLine", 9348 + 512, 4, 536},
    {"slot", "choiceLineCount", 9348 + 516, 4, 536},
    {"slot", "choiceLeft", 9348 + 520, 4, 536},
    {"slot", "choiceTop", 9348 + 524, 4, 536},
    {"slot", "choiceRight", 9348 + 528, 4, 536},
    {"slot", "choiceBottom", 9348 + 532, 4, 536},
    {"slot", "intCount", 20604, 4, 0},
    {"slot", "strCount", 20608, 4, 0},
    {"slot", "intName", 20612, 64, 68},  // integer i at i, then the strings, 320 each
    {"slot", "intValue", 20612 + 64, 4, 68},
    {"Collection.dat", "flag", 0, 1, 1},  // card n at n
    {"ArtsList.dat", "attack", 0, 1, 1},  // art n at n
    {"ArtsList.dat", "defence", 70, 1, 1},
    {"Pattern.dat", "attack", 0, 1, 1},  // code c at c
    {"Pattern.dat", "defence", 5460, 1, 1},
    {"CardData.dat", "attribute", 0, 4, 524},  // card n at n
    {"CardData.dat", "name", 8, 40, 524},
    {"CardData.dat", "illustrator", 48, 20, 524},
    {"CardData.dat", "description", 68, 256, 524},
    {"CardData.dat", "attackEffect", 324, 100, 524},
    {"CardData.dat", "interceptEffect", 424, 100, 524},
    {"AtArts.dat", "learned", 0, 1, 200},  // art n at n
    {"AtArts.dat", "name", 2, 17, 200},
    {"AtArts.dat", "listText", 19, 51, 200},
    {"AtArts.dat", "effectText", 70, 81, 200},
    {"AtArts.dat", "pattern", 151, 13, 200},
    {"AtArts.dat", "effectKind", 164, 4, 200},
    {"AtArts.dat", "needAttr1", 168, 4, 200},
    {"AtArts.dat", "needHp", 184, 4, 200},
    {"AtArts.dat", "mpCost", 188, 4, 200},
    {"AtArts.dat", "effectValue", 192, 4, 200},
    {"AtArts.dat", "weight", 196, 4, 200},
};

}  // namespace

const FileField& Field(const std::string& file, const std::string& name) {
  const std::string& table = file == "DfArts.dat" ? "AtArts.dat" : file;
  for (const FileField& f : kFields)
    if (table == f.file && name == f.name) return f;
  ADD_FAILURE() << "no field " << file << " " << name;
  return kFields[0];
}

size_t FileSize(const std::string& file) {
  if (file == "slot") return 20612;
  if (file == "Collection.dat") return 51;
  if (file == "ArtsList.dat") return 105;
  if (file == "Pattern.dat") return 10921;
  if (file == "CardData.dat") return 51 * 524;
  return (file == "AtArts.dat" ? 71 : 35) * 200;
}

FileImage::FileImage(std::string f, size_t extra, char fill)
    : file(std::move(f)), bytes(FileSize(file) + extra, fill) {}

FileImage FileImage::Read(std::string file, const std::filesystem::path& path) {
  FileImage image(std::move(file));
  std::ifstream in(path, std::ios::binary);
  image.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return image;
}

size_t FileImage::At(const char* name, size_t i) const {
  const FileField& f = Field(file, name);
  const size_t at = f.offset + i * f.stride;
  EXPECT_LE(at + f.size, bytes.size()) << file << " " << name << " " << i;
  return at + f.size <= bytes.size() ? at : 0;
}

FileImage& FileImage::I32(const char* name, int32_t v, size_t i) {
  std::memcpy(&bytes[At(name, i)], &v, 4);
  return *this;
}

FileImage& FileImage::U8(const char* name, uint8_t v, size_t i) {
  bytes[At(name, i)] = static_cast<char>(v);
  return *this;
}

FileImage& FileImage::Text(const char* name, const std::string& s, size_t i) {
  std::memcpy(&bytes[At(name, i)], s.c_str(), s.size() + 1);
  return *this;
}

int32_t FileImage::I32(const char* name, size_t i) const {
  int32_t v = 0;
  std::memcpy(&v, &bytes[At(name, i)], 4);
  return v;
}

uint8_t FileImage::U8(const char* name, size_t i) const {
  return static_cast<uint8_t>(bytes[At(name, i)]);
}

std::string FileImage::Text(const char* name, size_t i) const {
  const size_t at = At(name, i);
  return std::string(bytes.c_str() + at, strnlen(bytes.c_str() + at, Field(file, name).size));
}

void FileImage::Write(const std::filesystem::path& path) const {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

FileImage SlotFile(const std::string& scenario, int32_t line, int32_t ints, int32_t strs) {
  FileImage s("slot", static_cast<size_t>(ints) * 68 + static_cast<size_t>(strs) * 320);
  s.Text("scenario", scenario).I32("line", line).I32("currentWindow", 1);
  return s.I32("intCount", ints).I32("strCount", strs);
}
