// Text windows: Shift-JIS text printed with a shadow, wrapping and the
// Japanese line-start rule into a rectangle of an image, line by line.
//
// Glyphs are drawn at twice the final size into a private surface and reduced
// 2:1 into the target, which smooths them over whatever lies underneath.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/image.h"
#include "platform/platform.h"

// One printed line, also the form in which a line is handed to callers.
struct LineRecord {
  char text[84];                     // Shift-JIS, NUL-terminated: at most 83 bytes
  int32_t left, top, right, bottom;  // target pixels, right and bottom exclusive
};
static_assert(sizeof(LineRecord) == 100);

constexpr int kLineTextMax = 83;

class TextWindow {
 public:
  TextWindow() = default;
  ~TextWindow();
  TextWindow(const TextWindow&) = delete;
  TextWindow& operator=(const TextWindow&) = delete;

  // Back to the empty state of a window never set up.
  void Release();

  void Setup(Image* target, int x, int y, int width, int height, const char* face, int fontSize,
             int weight, int charSpacing, int lineGap, int shadowOffset, int capacity,
             uint32_t textColour, uint32_t shadowColour, uint32_t backgroundKey);
  void Print(const char* text, int present);
  void NewLine();
  int ClearLine(int i);
  void ClearAll();
  int FlushRect(int left, int top, int right, int bottom);
  int FlushLine(int i);
  void FlushAll();
  void RedrawLine(int i, int present);
  void SetColours(uint32_t text, uint32_t shadow);
  int GetLine(int i, LineRecord& record) const;

  int CurrentLine() const { return currentLine; }
  // The last line holding text, 0 when none does: where a click cue goes.
  int LastTextLine() const;
  int PenX() const { return penX; }
  int PenY() const { return penY; }
  int CharSpacing() const { return charSpacing; }

  // Where lines are reduced into; callers may point it at another page of
  // the same size between operations.
  Image* target = nullptr;

  // Read-only views for drawing code and tests.
  int X() const { return x; }
  int Y() const { return y; }
  int Width() const { return width; }
  int Height() const { return height; }
  int TextAreaWidth() const { return textAreaWidth; }
  int FontSize() const { return fontSize; }
  int Capacity() const { return capacity; }
  // Lines the player can read: a window may keep more than its rectangle
  // shows, and a line cut by its bottom edge does not count.
  int ShownLines() const;
  const Image& Dib() const { return dib; }

 private:
  bool LineUsable(int i) const { return i >= 1 && i <= capacity; }
  void FillDib(int left, int top, int right, int bottom);
  plat::Surface DibSurface();
  // Whether a character cx half-pixels wide goes to the next line: past the
  // window (a two-byte one that may not begin a line hangs into the text
  // area), or past what the line record holds.
  bool Wraps(const char* ch, int len, int cx, bool lineStarted) const;
  // Keeps the character in the current line's record, draws it with its
  // shadow and moves the pen past it.
  void PlaceChar(const char* ch, int len, int cx, const plat::Surface& surface);

  Image dib;  // 2 x textAreaWidth by 2 x height
  plat::FontHandle font = 0;
  std::vector<LineRecord> lines;  // capacity + 1 records; record 0 is unused
  int32_t penX = 0, penY = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t textAreaWidth = 0;
  int32_t fontSize = 0;
  int32_t shadowOffset = 0;
  int32_t charSpacing = 0;
  int32_t lineGap = 0;
  int32_t currentLine = 1;
  int32_t capacity = 0;
  uint32_t textColour = 0, shadowColour = 0, backgroundKey = 0;
};

// A two-byte character that hangs past the right edge instead of starting a
// line (small kana, closing brackets, punctuation).
bool MustNotBeginLine(unsigned char lead, unsigned char trail);

// The four message windows.
struct MessageWindows {
  TextWindow window[5];  // 1..4; 0 unused
};
extern MessageWindows msgwin;

void SetupMessageWindows();
// One window with its start-up parameters (the screens borrow window 4).
void SetupMessageWindow(int n);
void DestroyMessageWindows();
