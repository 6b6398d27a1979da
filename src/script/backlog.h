// The backlog: the last lines the message windows showed, kept so that a
// player who clicked on too soon can read them again. Only the player sees
// it; nothing of it is saved with a game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BacklogLine {
  int32_t window = 0;      // message window 1 to 4; 0 for a choice taken
  int32_t windowLine = 0;  // the window's line it was printed on
  std::string text;        // Shift-JIS
};

constexpr size_t kBacklogLines = 200;

struct Backlog {
  std::vector<BacklogLine> lines;  // oldest first, at most kBacklogLines
  bool open = false;               // the last line may still grow (text continued with "!n")
};
extern Backlog backlog;

void ResetBacklog();

// One character (1 or 2 bytes) printed into a window's line. A character on
// another window or line than the last one starts a new backlog line.
void BacklogChar(int32_t window, int32_t windowLine, const char* ch, int len);
// The next character starts a new line even on the same window line: the
// window was cleared.
void BacklogBreak();
// A choice the player took, kept apart from the windows' lines.
void BacklogChoice(const char* textSjis);
