// Scenario files: naming, opening, line reading and tokens.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Keeps the text-mode rules of the reader in one place so tests can see them:
// CR LF becomes LF and a Ctrl-Z ends the text.
std::vector<char> TextModeTranslate(const std::vector<uint8_t>& raw);
