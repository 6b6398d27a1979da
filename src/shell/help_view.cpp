#include "shell/help_view.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "core/settings.h"
#include "core/waits.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "shell/aids_texts.h"
#include "shell/input.h"
#include "shell/overlay.h"

namespace {

constexpr int kHelpKeysX = 40, kHelpWhatX = 272, kHelpY = 60, kHelpRows = 15;
constexpr int kHelpRight = 608;
// The options page: the key as settings.txt spells it, on or off now, and
// what it does.
constexpr int kOptionKeyX = 40, kOptionStateX = 172, kOptionWhatX = 228;
constexpr uint32_t kKeysColour = 0xC0E8FF, kOnColour = 0xA0FFA0;

struct HelpView {
  TextWindow pen, keysPen, statePen;
  int page = 0;  // 0 the keys, 1 the options
};
HelpView helpView;

// Keeps the columns' rows level: a text that wraps pushes the next row
// down in all of them.
void NextRow(std::initializer_list<TextWindow*> columns) {
  int row = 0;
  for (const TextWindow* c : columns) row = std::max(row, c->CurrentLine());
  for (TextWindow* c : columns) {
    while (c->CurrentLine() < row) c->NewLine();
    c->NewLine();
  }
}

void DrawTitleAndFooter(Image& panel, const char* title, const char* footer) {
  SetupAidPen(helpView.pen, &panel, kHelpKeysX, 18, 560, 1, kAidWhite);
  helpView.pen.Print(title, 1);
  SetupAidPen(helpView.pen, &panel, kHelpKeysX, 440, 560, 1, kAidHintColour);
  helpView.pen.Print(footer, 1);
}

void DrawKeys(Image& panel) {
  SetupAidPen(helpView.keysPen, &panel, kHelpKeysX, kHelpY, kHelpWhatX - kHelpKeysX - 8, kHelpRows,
              kKeysColour);
  SetupAidPen(helpView.pen, &panel, kHelpWhatX, kHelpY, kHelpRight - kHelpWhatX, kHelpRows,
              kAidWhite);
  for (const texts::HelpRow& row : texts::kHelpRows) {
    helpView.keysPen.Print(row.keys, 1);
    helpView.pen.Print(row.what, 1);
    NextRow({&helpView.keysPen, &helpView.pen});
  }
  DrawTitleAndFooter(panel, texts::kHelpTitle, texts::kHelpFooter);
}

const char* ComfortWhat(const char* key) {
  for (const texts::ComfortText& t : texts::kComfortTexts)
    if (std::strcmp(t.key, key) == 0) return t.what;
  return "";
}

void DrawOptions(Image& panel) {
  SetupAidPen(helpView.keysPen, &panel, kOptionKeyX, kHelpY, kOptionStateX - kOptionKeyX - 8,
              kHelpRows, kKeysColour);
  SetupAidPen(helpView.statePen, &panel, kOptionStateX, kHelpY, kOptionWhatX - kOptionStateX - 8,
              kHelpRows, kAidHintColour);
  SetupAidPen(helpView.pen, &panel, kOptionWhatX, kHelpY, kHelpRight - kOptionWhatX, kHelpRows,
              kAidWhite);
  for (const ComfortOption& option : kComfortOptions) {
    const bool on = settings.*(option.field);
    helpView.keysPen.Print(option.key, 1);
    helpView.statePen.SetColours(on ? kOnColour : kAidHintColour, 0x000000);
    helpView.statePen.Print(on ? texts::kOptionOn : texts::kOptionOff, 1);
    helpView.pen.Print(ComfortWhat(option.key), 1);
    NextRow({&helpView.keysPen, &helpView.statePen, &helpView.pen});
  }
  // How to change them, under the table after a row's gap.
  SetupAidPen(helpView.pen, &panel, kHelpKeysX, kHelpY + helpView.keysPen.CurrentLine() * kAidPitch,
              kHelpRight - kHelpKeysX, 2, kAidHintColour);
  helpView.pen.Print(texts::kOptionsHowTo, 1);
  DrawTitleAndFooter(panel, texts::kOptionsTitle, texts::kOptionsFooter);
}

void DrawHelp(Image& panel) {
  DrawViewPanel(panel);
  if (helpView.page == 0)
    DrawKeys(panel);
  else
    DrawOptions(panel);
}

void ShowPage(int page) {
  if (helpView.page == page) return;
  helpView.page = page;
  RedrawView();
}

}  // namespace

bool HelpMayOpen() {
  const int32_t m = shell.InputMode;
  if (m == mode::Typing || m < 0 || m >= mode::Count) return false;
  return routing.modes[m].leftDown != nullptr;
}

void OpenHelp() {
  helpView.page = 0;
  OpenView(View::Help, DrawHelp);
}

bool HelpKey(uint32_t vk, bool repeat) {
  // Those that leave the game or change the display still do.
  if (vk == plat::vk::F12 || vk == plat::vk::F4) return false;
  switch (vk) {
    case plat::vk::Down:
    case plat::vk::PageDown:
      ShowPage(1);
      return true;
    case plat::vk::Up:
    case plat::vk::PageUp:
      ShowPage(0);
      return true;
    default:
      break;
  }
  if (repeat) return true;
  if (vk != plat::vk::Control && vk != plat::vk::Shift) CloseView();
  return true;
}

int HelpPage() { return OpenedView() == View::Help ? helpView.page + 1 : 0; }

std::string HelpRowsShown() {
  std::string shown;
  LineRecord keys{}, state{};
  for (int i = 1; helpView.keysPen.GetLine(i, keys); ++i) {
    shown += keys.text;
    if (helpView.page == 1 && helpView.statePen.GetLine(i, state)) {
      shown += ' ';
      shown += state.text;
    }
    shown += '|';
  }
  return shown;
}

void ResetHelpView() {
  helpView.pen.Release();
  helpView.keysPen.Release();
  helpView.statePen.Release();
  helpView.page = 0;
}
