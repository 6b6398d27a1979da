// An author's mistake the game lets pass (a refusal, a command that does
// nothing, a file that is not there) gets one line on stderr and in the run's
// log, without --verbose, with the scenario place in front of it while a
// scenario is being read:
//   start.scn:12: no picture "backk.K16"
// Boxes the game shows stay as they are; the line comes in addition. Each
// line is told once a run, so a mistake inside a loop does not flood the log.
#pragma once

#include <string>
#include <vector>

// The place the story stands at, "start.scn:12", or empty outside a scenario.
// The script layer tells it (the layers below it cannot see the script); the
// composition root installs it.
using MistakePlaceFinder = std::string (*)();

struct MistakeLog {
  MistakePlaceFinder placeFinder = nullptr;
  // The lines told this run.
  std::vector<std::string> told;
};
extern MistakeLog mistakes;

void SetMistakePlaceFinder(MistakePlaceFinder finder);
std::string MistakePlace();

// The problem at the place the finder tells.
void ReportMistake(const std::string& problem);
// The problem at a place given ("start.scn:12"; empty: none).
void ReportMistakeAt(const std::string& place, const std::string& problem);
// Forgets the lines already told (a new game, and tests); the finder stays.
void ResetMistakes();

// What is wrong with a file the game could not read, for the line: `no KIND
// "NAME"` when nothing is there, `KIND "NAME" cannot be read` when something
// is (damaged, or not of its kind), then " (for PURPOSE)" when one is given.
// Asked only after a read failed, so a correct game never pays for it.
std::string FileProblem(const char* kind, const char* name, const char* purpose = nullptr);
// Quoted, as the lines name things.
std::string Quoted(const char* name);
