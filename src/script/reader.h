// Scenario files: naming, opening, line reading and tokens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kLineSize = 256;

struct ScenarioReader {
  // The open scenario, already translated as a text-mode read would see it.
  bool fileOpen = false;
  std::vector<char> text;
  size_t readPos = 0;

  char ScenarioName[kLineSize] = {};
  int32_t LineNumber = 0;
  char LineBuffer[kLineSize] = {};
  char TokenBuffer[kLineSize] = {};
  // How many ReadingScenario are alive.
  int32_t reading = 0;
};
extern ScenarioReader scn;

void ResetScenarioReader();
int OpenScenario(const char* name);
void CloseScenario();
int ReadLine();
// Takes the first token off the front of line (a buffer of kLineSize bytes)
// into destination (also kLineSize bytes).
// A quoted part that runs to the line's end is reported in a box.
void NextToken(char* destination, char* line);
// The same without the box: false when a quoted part was not closed. The
// scenario checker splits lines with it exactly as the game does.
bool TakeToken(char* destination, char* line);

// "start.scn:12", the line being read, for the line a mistake gets; empty
// before any scenario was opened. ScenarioPlaceAt names another line of it.
std::string ScenarioPlace();
std::string ScenarioPlaceAt(int32_t line);
// While one lives the script is reading a scenario (the interpreter runs,
// "config" is read, a choice jumps): a mistake met meanwhile, in any layer,
// is told with the place. Outside (start-up, a screen) it is told alone.
class ReadingScenario {
 public:
  ReadingScenario();
  ~ReadingScenario();
  ReadingScenario(const ReadingScenario&) = delete;
  ReadingScenario& operator=(const ReadingScenario&) = delete;
};
// The place while a ReadingScenario lives, else empty: what the composition
// root hands to SetMistakePlaceFinder.
std::string PlaceWhileReading();

// Keeps the text-mode rules of the reader in one place so tests can see them:
// CR LF becomes LF and a Ctrl-Z ends the text.
std::vector<char> TextModeTranslate(const std::vector<uint8_t>& raw);
