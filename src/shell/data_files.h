// Every file the engine itself loads by a fixed name: what a game's data
// folder must ship beside its scenarios. One table for the checker, the
// manual and the run-time checks.
#pragma once

#include <cstddef>

struct DataFile {
  // The game's file name (Shift-JIS, backslash-separated). "%d" stands for
  // every card number, 1 to kCardCount.
  const char* name;
  const char* use;  // what the engine uses it for, for messages and the manual
};

struct DataFileTable {
  const DataFile* rows;
  size_t count;
  const DataFile* begin() const { return rows; }
  const DataFile* end() const { return rows + count; }
};

DataFileTable EngineDataFiles();
