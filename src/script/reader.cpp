#include "script/reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/mistake_log.h"
#include "platform/platform.h"
#include "platform/sjis.h"
#include "script/script_texts.h"

ScenarioReader scn;

void ResetScenarioReader() { scn = ScenarioReader{}; }

std::string ScenarioPlace() { return ScenarioPlaceAt(scn.LineNumber); }

std::string ScenarioPlaceAt(int32_t line) {
  if (scn.ScenarioName[0] == '\0') return {};
  return std::string(scn.ScenarioName) + ".scn:" + std::to_string(line);
}

ReadingScenario::ReadingScenario() { ++scn.reading; }
// A reset in between (a test's) has already set the count back.
ReadingScenario::~ReadingScenario() { scn.reading = std::max(scn.reading - 1, 0); }

std::string PlaceWhileReading() { return scn.reading > 0 ? ScenarioPlace() : std::string(); }

std::vector<char> TextModeTranslate(const std::vector<uint8_t>& raw) {
  std::vector<char> out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const uint8_t c = raw[i];
    if (c == 0x1A) break;
    if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

void CloseScenario() {
  scn.fileOpen = false;
  scn.text.clear();
  scn.text.shrink_to_fit();
  scn.readPos = 0;
}

int OpenScenario(const char* name) {
  // A jump that fails is told at the line that jumped.
  const std::string from = MistakePlace();
  CloseScenario();
  // Longer names cannot name a file; they are cut at a character boundary and
  // then simply not found.
  const size_t n = sjis::FitLength(name, kLineSize - 1);
  std::memcpy(scn.ScenarioName, name, n);
  scn.ScenarioName[n] = '\0';

  char fileName[kLineSize + 8];
  std::memcpy(fileName, scn.ScenarioName, n);
  std::memcpy(fileName + n, ".scn", 5);
  std::vector<uint8_t> raw;
  if (!plat::host().ReadWholeFile(fileName, raw)) {
    plat::host().ShowMessageBox(texts::kNoSuchFile, nullptr);
    ReportMistakeAt(from, FileProblem("scenario", fileName));
    return 0;
  }
  scn.text = TextModeTranslate(raw);
  scn.readPos = 0;
  scn.fileOpen = true;
  scn.LineNumber = 0;
  // For whoever follows a run: which file the story is in.
  char trace[kLineSize + 16];
  std::snprintf(trace, sizeof trace, "scenario %s", scn.ScenarioName);
  plat::host().Trace(trace);
  return 1;
}

int ReadLine() {
  ++scn.LineNumber;
  if (!scn.fileOpen || scn.readPos >= scn.text.size()) return 0;
  size_t n = 0;
  while (n < kLineSize - 1 && scn.readPos < scn.text.size()) {
    const char c = scn.text[scn.readPos++];
    scn.LineBuffer[n++] = c;
    if (c == '\n') break;
  }
  scn.LineBuffer[n] = '\0';
  size_t tabs = 0;
  while (scn.LineBuffer[tabs] == '\t') ++tabs;
  if (tabs) std::memmove(scn.LineBuffer, scn.LineBuffer + tabs, n - tabs + 1);
  return 1;
}

namespace {
bool AtLineEnd(char c) { return c == '\n' || c == '\0'; }
}  // namespace

void NextToken(char* destination, char* line) {
  if (TakeToken(destination, line)) return;
  plat::host().ShowMessageBox(texts::kQuoteNotClosed, nullptr);
  ReportMistake(std::string("quote not closed: \"") + destination);
}

bool TakeToken(char* destination, char* line) {
  size_t i = 0;
  bool closed = true;
  while (line[i] == ' ') ++i;
  if (AtLineEnd(line[i])) {
    destination[0] = '\0';
    line[0] = '\0';
    return closed;
  }
  size_t d = 0;
  if (line[i] == '"') {
    ++i;
    size_t backslashes = 0;
    closed = false;
    while (!AtLineEnd(line[i])) {
      const auto c = static_cast<unsigned char>(line[i]);
      if (c == '"' && backslashes % 2 == 0) {
        ++i;
        closed = true;
        break;
      }
      // A two-byte character whose trail byte is 0x5C is not a backslash:
      // otherwise a quoted text ending in such a character could never close.
      if (sjis::IsLeadByte(c) && !AtLineEnd(line[i + 1])) {
        destination[d++] = line[i++];
        destination[d++] = line[i++];
        backslashes = 0;
        continue;
      }
      backslashes = (c == '\\') ? backslashes + 1 : 0;
      destination[d++] = line[i++];
    }
  }
  while (line[i] != ' ' && !AtLineEnd(line[i])) destination[d++] = line[i++];
  destination[d] = '\0';
  while (line[i] == ' ') ++i;
  if (AtLineEnd(line[i])) {
    line[0] = '\0';
  } else {
    std::memmove(line, line + i, std::strlen(line + i) + 1);
  }
  return closed;
}
