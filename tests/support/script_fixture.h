// Runs scenarios through the real interpreter on a headless host, without the
// rest of the program around it, so tests can look at the state afterwards.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/game_fixture.h"

class ScriptTest : public GameTest {
 protected:
  void SetUp() override;

  // Writes "config.scn" and reads the declarations from it.
  void Config(const std::string& text);
  // Writes "start.scn", opens it and runs the interpreter once.
  int Run(const std::string& start);
  // Value of a user integer variable (fails the test when not declared).
  int32_t Int(const std::string& name);
  std::string Str(const std::string& name);
  std::vector<std::string> BoxCaptions() const;

  // Text of a message window's line, "<none>" past its last line.
  std::string LineText(int window, int i);
  // Hands scripted input to the game and runs it until all is delivered.
  // Input that runs out ends the run once the game waits, so a test that
  // looks between inputs times its next one relative to the last.
  void Input(const std::string& script);
  uint64_t Now();

  // Called just before each scripted action is delivered, from inside the
  // game's own wait: a look at the state in the middle of a timed step.
  std::function<void()> beforeInput;
  // The window as the player sees it once pending paints are done.
  uint16_t Shown(int x, int y);
  // The whole text of window n's lines 1 ... last, "|" between lines.
  std::string Lines(int window, int last);
};
