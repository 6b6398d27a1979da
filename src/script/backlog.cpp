#include "script/backlog.h"

Backlog backlog;

void ResetBacklog() { backlog = Backlog{}; }

namespace {
BacklogLine& NewLine(int32_t window, int32_t windowLine) {
  if (backlog.lines.size() >= kBacklogLines)
    backlog.lines.erase(backlog.lines.begin(),
                        backlog.lines.begin() + (backlog.lines.size() - kBacklogLines + 1));
  backlog.lines.push_back({window, windowLine, {}});
  return backlog.lines.back();
}
}  // namespace

void BacklogChar(int32_t window, int32_t windowLine, const char* ch, int len) {
  BacklogLine* last = backlog.lines.empty() ? nullptr : &backlog.lines.back();
  if (!backlog.open || !last || last->window != window || last->windowLine != windowLine)
    last = &NewLine(window, windowLine);
  backlog.open = true;
  last->text.append(ch, static_cast<size_t>(len));
}

void BacklogBreak() { backlog.open = false; }

void BacklogChoice(const char* textSjis) {
  NewLine(0, 0).text = textSjis;
  backlog.open = false;
}
