#include "shell/backlog_view.h"

#include <algorithm>
#include <string>

#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "script/backlog.h"
#include "script/presentation.h"
#include "shell/aids_texts.h"
#include "shell/overlay.h"

namespace {

constexpr uint32_t kRuleColour = 0x707070;
constexpr uint32_t kChoiceColour = 0xA0FFA0;
constexpr int kBacklogX = 48, kBacklogY = 52, kBacklogW = 544, kBacklogRows = 16;

struct BacklogView {
  int32_t top = 0;  // first backlog line shown
  TextWindow pen, linesPen;
};
BacklogView backlogView;

uint32_t BacklogColour(const BacklogLine& line) {
  switch (line.window) {
    case 0:
      return kChoiceColour;
    case 2:
      return 0xC0E8FF;  // the other speaker's window, warmer
    case 3:
      return 0xFFE8C0;
    default:
      return kAidWhite;
  }
}

int32_t BacklogMaxTop() {
  return std::max<int32_t>(0, static_cast<int32_t>(backlog.lines.size()) - kBacklogRows);
}

void DrawLines(Image& panel) {
  SetupAidPen(backlogView.linesPen, &panel, kBacklogX, kBacklogY, kBacklogW, kBacklogRows,
              kAidWhite);
  const auto count = static_cast<int32_t>(backlog.lines.size());
  for (int32_t row = 0; row < kBacklogRows && backlogView.top + row < count; ++row) {
    const auto at = static_cast<size_t>(backlogView.top) + static_cast<size_t>(row);
    const BacklogLine& line = backlog.lines[at];
    // Where the text moves to another window the speaker changes: a rule in
    // the gap between the lines keeps the two apart.
    if (row > 0 && backlog.lines[at - 1].window != line.window)
      FillImageRect(panel, kBacklogX, kBacklogY + row * kAidPitch - kAidLineGap / 2 - 1, kBacklogW,
                    1, kRuleColour);
    backlogView.linesPen.SetColours(BacklogColour(line), 0x000000);
    std::string text = line.window == 0 ? texts::kChoiceMark + line.text : line.text;
    backlogView.linesPen.Print(text.c_str(), 1);
    backlogView.linesPen.NewLine();
  }
}

// Where the page lies in the whole backlog.
void DrawScrollBar(Image& panel) {
  const auto count = static_cast<int32_t>(backlog.lines.size());
  const int barTop = kBacklogY, barHeight = kBacklogRows * kAidPitch;
  FillImageRect(panel, 612, barTop, 4, barHeight, 0x404040);
  if (count > 0) {
    const int thumb = std::max(8, barHeight * std::min(count, kBacklogRows) / count);
    const int maxTop = BacklogMaxTop();
    const int at = maxTop == 0 ? 0 : (barHeight - thumb) * backlogView.top / maxTop;
    FillImageRect(panel, 612, barTop + at, 4, thumb, kAidHintColour);
  }
}

void DrawBacklog(Image& panel) {
  DrawViewPanel(panel);
  SetupAidPen(backlogView.pen, &panel, kBacklogX, 12, kBacklogW, 1, kAidWhite);
  backlogView.pen.Print(texts::kBacklogTitle, 1);
  DrawLines(panel);
  DrawScrollBar(panel);
  SetupAidPen(backlogView.pen, &panel, kBacklogX, 446, kBacklogW, 1, kAidHintColour);
  backlogView.pen.Print(texts::kBacklogHint, 1);
}

void ShowTop(int32_t top) {
  backlogView.top = top;
  RedrawView();
}

}  // namespace

bool BacklogMayOpen() {
  return !backlog.lines.empty() && (InClickWait() || shell.InputMode == mode::Choice);
}

void OpenBacklog() {
  backlogView.top = BacklogMaxTop();
  OpenView(View::Backlog, DrawBacklog);
}

void ScrollBacklog(int32_t lines) {
  const int32_t maxTop = BacklogMaxTop();
  if (lines > 0 && backlogView.top >= maxTop) {
    CloseView();  // down past the end: back to the game
    return;
  }
  ShowTop(std::clamp(backlogView.top + lines, 0, maxTop));
}

// Every key but those that leave the game or change the display is swallowed.
bool BacklogKey(uint32_t vk) {
  switch (vk) {
    case plat::vk::Escape:
      CloseView();
      return true;
    case plat::vk::Up:
      ScrollBacklog(-1);
      return true;
    case plat::vk::Down:
      ScrollBacklog(1);
      return true;
    case plat::vk::PageUp:
      ScrollBacklog(-(kBacklogRows - 1));
      return true;
    case plat::vk::PageDown:
      ScrollBacklog(kBacklogRows - 1);
      return true;
    case plat::vk::Home:
      ShowTop(0);
      return true;
    case plat::vk::End:
      ShowTop(BacklogMaxTop());
      return true;
    case plat::vk::F12:
    case plat::vk::F4:
    case plat::vk::F11:
      return false;
    default:
      return true;
  }
}

void ResetBacklogView() {
  backlogView.pen.Release();
  backlogView.linesPen.Release();
  backlogView.top = 0;
}
