#include "support/save_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "support/files.h"

namespace {

// Element i of a field lies at offset + i * stride.
// clang-format off
constexpr FileField kFields[] = {
    {"scenario", 0, 260, 0}, {"line", 260, 4, 0},
    {"returnScenario", 264, 256, 260}, {"returnLine", 264 + 256, 4, 260},
    {"date", 2864, 4, 4},  // the nine fields of the calendar record
    {"strong", 2900, 1, 0}, {"money", 2904, 4, 0}, {"maxhp", 2908, 4, 0}, {"hp", 2912, 4, 0},
    {"maxmp", 2916, 4, 0}, {"mp", 2920, 4, 0}, {"result", 2924, 4, 0},
    {"deckCount", 2928, 4, 0}, {"deck", 2932, 4, 4},  // entry 0 holds no card
    {"stockCount", 3336, 4, 0}, {"stock", 3340, 4, 4},
    {"backPicture", 4544, 260, 0}, {"placePicture", 4804, 260, 0},
    {"face1Picture", 5324, 260, 0}, {"face2Picture", 5584, 260, 0},
    {"backShown", 5844, 4, 0}, {"face1Shown", 5852, 4, 0}, {"face2Shown", 5856, 4, 0},
    {"msgShown", 5864, 4, 4},  // msg1..msg4 at 0..3
    {"placeShown", 5880, 4, 0}, {"dateShown", 5884, 4, 0}, {"currentWindow", 5888, 4, 0},
    {"lineCount", 5892, 4, 4},  // windows 1..4 at 0..3; line i of window w at i
    {"lines1", 5908, 81, 81}, {"lines2", 6394, 81, 81}, {"lines3", 6880, 81, 81},
    {"lines4", 7204, 81, 81},
    {"music", 8824, 260, 0}, {"loopWave", 9084, 260, 0}, {"choiceCount", 9344, 4, 0},
    // choice i at i
    {"choiceText", 9348, 256, 536}, {"choiceTarget", 9348 + 256, 256, 536},
    {"choiceFirstLine", 9348 + 512, 4, 536}, {"choiceLineCount", 9348 + 516, 4, 536},
    {"choiceLeft", 9348 + 520, 4, 536}, {"choiceTop", 9348 + 524, 4, 536},
    {"choiceRight", 9348 + 528, 4, 536}, {"choiceBottom", 9348 + 532, 4, 536},
    {"intCount", 20604, 4, 0}, {"strCount", 20608, 4, 0},
    // integer i at i, then the strings, 320 each
    {"intName", 20612, 64, 68}, {"intValue", 20612 + 64, 4, 68},
};
// clang-format on

const FileField& Field(const std::string& name) {
  for (const FileField& f : kFields)
    if (name == f.name) return f;
  ADD_FAILURE() << "no field " << name;
  return kFields[0];
}

}  // namespace

FileImage::FileImage(std::string f, size_t extra, char fill)
    : file(std::move(f)), bytes(20612 + extra, fill) {}

FileImage FileImage::Read(std::string file, const std::filesystem::path& path) {
  FileImage image(std::move(file));
  image.bytes = ReadText(path);
  return image;
}

size_t FileImage::At(const char* name, size_t i) const {
  const FileField& f = Field(name);
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

void FileImage::Write(const std::filesystem::path& path) const {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

FileImage SlotFile(const std::string& scenario, int32_t line, int32_t ints, int32_t strs) {
  FileImage s("slot", static_cast<size_t>(ints) * 68 + static_cast<size_t>(strs) * 320);
  s.Text("scenario", scenario).I32("line", line).I32("currentWindow", 1);
  return s.I32("intCount", ints).I32("strCount", strs);
}
