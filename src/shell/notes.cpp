#include "shell/notes.h"

#include <algorithm>

#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "shell/aids_texts.h"
#include "shell/overlay.h"

namespace {

// The note's right edge stays in the corner; it is wide enough for the
// screenshot folder after its heading, and a line taller for each line
// after the first.
constexpr int kToastX = 288, kToastY = 8, kToastW = 344, kToastLines = 2;
constexpr int kToastPad = 4;
constexpr uint64_t kToastShowMs = 1500, kToastFadeMs = 500;
constexpr uint32_t kToastStepMs = 50;

constexpr int NoteHeight(int lines) { return 2 * kToastPad + lines * kAidPitch; }

struct Notes {
  Image frame;      // what is presented while the note is up
  Image noteImage;  // the note drawn whole, to be mixed into the frame
  TextWindow pen;
  int penLines = 0;  // the lines pen was set up for
  std::string text;  // Shift-JIS
  int lines = 1;
  uint64_t start = 0;
  bool up = false;
};
Notes notes;

// 0 (gone) to 256 (solid) as the note fades.
int NoteAlpha() {
  const uint64_t age = plat::host().Millis() - notes.start;
  if (age >= kToastShowMs + kToastFadeMs) return 0;
  if (age <= kToastShowMs) return 256;
  return static_cast<int>(256 * (kToastShowMs + kToastFadeMs - age) / kToastFadeMs);
}

uint16_t Mix(uint16_t under, uint16_t over, int alpha) {
  auto channel = [&](int shift) {
    const int a = (under >> shift) & 31, b = (over >> shift) & 31;
    return static_cast<uint16_t>(((a * (256 - alpha) + b * alpha) >> 8) << shift);
  };
  return static_cast<uint16_t>(channel(10) | channel(5) | channel(0));
}

// Every line the note can have: a shorter note may replace a taller one.
void InvalidateNote() { InvalidateArea(kToastX, kToastY, kToastW, NoteHeight(kToastLines)); }

void PrintNote(Image& note) {
  if (notes.pen.target != &note || notes.penLines != notes.lines) {
    SetupAidPen(notes.pen, &note, kToastX + 8, kToastY + kToastPad + 1, kToastW - 16, notes.lines,
                kAidWhite);
    notes.penLines = notes.lines;
  }
  notes.pen.ClearAll();
  notes.pen.Print(notes.text.c_str(), 1);
}

void DrawNote(Image& onto) {
  const int alpha = NoteAlpha();
  if (alpha == 0) return;
  // The note is drawn whole on a copy and mixed in, so its text fades with it.
  Image& note = notes.noteImage;
  if (!WindowSized(note)) return;
  const int h = NoteHeight(notes.lines);
  Copy(note, kToastX, kToastY, kToastW, h, onto, kToastX, kToastY);
  DarkenRect(note, kToastX, kToastY, kToastW, h, 0x606060);
  PrintNote(note);
  for (int y = kToastY; y < kToastY + h; ++y) {
    uint16_t* d = onto.Row(y);
    const uint16_t* s = note.Row(y);
    for (int x = kToastX; x < kToastX + kToastW; ++x) d[x] = Mix(d[x], s[x], alpha);
  }
}

}  // namespace

void ShowNote(const std::string& text) {
  notes.text = text;
  notes.lines = 1;
  for (const char c : text) notes.lines += c == '\n';
  notes.lines = std::min(notes.lines, kToastLines);
  notes.start = plat::host().Millis();
  notes.up = true;
  plat::host().StartTimer(kToastTimer, kToastStepMs);
  InvalidateNote();
}

void ShowShotNote(const std::string& name) {
  if (name.empty()) {
    ShowNote(texts::kShotFailed);
    return;
  }
  // The whole name does not fit one line: the folder goes with the heading
  // and the file's own name has the second line to itself.
  const size_t slash = name.rfind('\\');
  const size_t cut = slash == std::string::npos ? 0 : slash + 1;
  ShowNote(texts::kShotSaved + name.substr(0, cut) + "\n" + name.substr(cut));
}

void NoteTimer() {
  InvalidateNote();
  if (NoteAlpha() == 0) {
    notes.up = false;
    plat::host().StopTimer(kToastTimer);
  }
}

const Image* FrameWithNote() {
  if (!notes.up || !WindowSized(notes.frame)) return nullptr;
  CopyShown(notes.frame);
  DrawNote(notes.frame);
  return &notes.frame;
}

std::string NoteShown() {
  std::string shown;
  LineRecord line{};
  for (int i = 1; i <= notes.pen.Capacity() && notes.pen.GetLine(i, line); ++i) {
    if (i > 1) shown += '\n';
    shown += line.text;
  }
  return shown;
}

void ResetNotes() {
  notes.pen.Release();
  notes.penLines = 0;
  notes.frame.Destroy();
  notes.noteImage.Destroy();
  notes.text.clear();
  notes.lines = 1;
  notes.up = false;
  notes.start = 0;
}
