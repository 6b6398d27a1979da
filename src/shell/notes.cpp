#include "shell/notes.h"

#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "shell/overlay.h"

namespace {

constexpr int kToastX = 360, kToastY = 8, kToastW = 272, kToastH = 32;
constexpr uint64_t kToastShowMs = 1500, kToastFadeMs = 500;
constexpr uint32_t kToastStepMs = 50;

struct Notes {
  Image frame;      // what is presented while the note is up
  Image noteImage;  // the note drawn whole, to be mixed into the frame
  TextWindow pen;
  std::string text;  // Shift-JIS
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

void DrawNote(Image& onto) {
  const int alpha = NoteAlpha();
  if (alpha == 0) return;
  // The note is drawn whole on a copy and mixed in, so its text fades with it.
  Image& note = notes.noteImage;
  if (!WindowSized(note)) return;
  Copy(note, kToastX, kToastY, kToastW, kToastH, onto, kToastX, kToastY);
  DarkenRect(note, kToastX, kToastY, kToastW, kToastH, 0x606060);
  if (notes.pen.target != &note)
    SetupAidPen(notes.pen, &note, kToastX + 8, kToastY + 5, kToastW - 16, 1, kAidWhite);
  notes.pen.ClearAll();
  notes.pen.Print(notes.text.c_str(), 1);
  for (int y = kToastY; y < kToastY + kToastH; ++y) {
    uint16_t* d = onto.Row(y);
    const uint16_t* s = note.Row(y);
    for (int x = kToastX; x < kToastX + kToastW; ++x) d[x] = Mix(d[x], s[x], alpha);
  }
}

}  // namespace

void ShowNote(const std::string& text) {
  notes.text = text;
  notes.start = plat::host().Millis();
  notes.up = true;
  plat::host().StartTimer(kToastTimer, kToastStepMs);
  InvalidateArea(kToastX, kToastY, kToastW, kToastH);
}

void NoteTimer() {
  InvalidateArea(kToastX, kToastY, kToastW, kToastH);
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

void ResetNotes() {
  notes.pen.Release();
  notes.frame.Destroy();
  notes.noteImage.Destroy();
  notes.text.clear();
  notes.up = false;
  notes.start = 0;
}
