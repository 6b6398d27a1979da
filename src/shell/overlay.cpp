#include "shell/overlay.h"

#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "platform/platform.h"
#include "script/presentation.h"

namespace {

struct Overlay {
  View view = View::None;
  DrawView draw = nullptr;
  Image panel;
};
Overlay overlay;

// A quarter of each channel: the scene stays recognisable around the views'
// panels and the quit box, which carry the text that must read clearly.
void Dim(Image& image) {
  for (int32_t y = 0; y < image.height; ++y) {
    uint16_t* row = image.Row(y);
    for (int32_t x = 0; x < image.width; ++x) {
      const uint16_t p = row[x];
      row[x] = static_cast<uint16_t>((p >> 2) & 0x1CE7);
    }
  }
}

// The part of the screen the window shows.
void CopyScene(Image& to) {
  Copy(to, 0, 0, kClientWidth, kClientHeight, gfx.Screen, 0, gfx.ViewOffset);
}

}  // namespace

void SetupAidPen(TextWindow& pen, Image* target, int x, int y, int w, int rows, uint32_t colour) {
  pen.Setup(target, x, y, w, rows * kAidPitch, texts::kFaceGothic, kAidFontSize, 400, -1,
            kAidLineGap, 2, rows, colour, 0x000000, kBlueKey);
}

void DrawFramed(Image& page, int x, int y, int w, int h, uint32_t fill) {
  FillImageRect(page, x, y, w, h, kAidGold);
  FillImageRect(page, x + 2, y + 2, w - 4, h - 4, fill);
}

void DrawViewPanel(Image& page) {
  // Solid: even a trace of the scene's own text under the views' reads as
  // a second, ghostly text.
  DrawFramed(page, kViewPanelX, kViewPanelY, kViewPanelW, kViewPanelH, kAidPanel);
}

bool WindowSized(Image& image) { return image.pixels || image.Create(kClientWidth, kClientHeight); }

void OpenView(View view, DrawView draw) {
  if (!WindowSized(overlay.panel)) return;
  overlay.view = view;
  overlay.draw = draw;
  shell.OverlayOpen = true;
  // The click cursor would blink on under the view; it is left as it is.
  plat::host().StopTimer(kClickTimer);
  RedrawView();
}

void RedrawView() {
  if (overlay.view != View::None && overlay.draw) {
    CopyScene(overlay.panel);
    Dim(overlay.panel);
    overlay.draw(overlay.panel);
  }
  InvalidateAll();
}

void CloseView() {
  overlay.view = View::None;
  overlay.draw = nullptr;
  shell.OverlayOpen = false;
  shell.Halted = false;
  if (scene.cursorRunning) plat::host().StartTimer(kClickTimer, 100);
  // An automatic wait starts over: the player was reading something else.
  StartAutoWait();
  InvalidateAll();
}

View OpenedView() { return overlay.view; }

const Image* ViewPanel() {
  return overlay.view != View::None && overlay.panel.pixels ? &overlay.panel : nullptr;
}

void CopyShown(Image& to) {
  if (const Image* panel = ViewPanel())
    Copy(to, 0, 0, kClientWidth, kClientHeight, *panel, 0, 0);
  else
    CopyScene(to);
}

void ResetOverlay() {
  overlay.panel.Destroy();
  overlay.view = View::None;
  overlay.draw = nullptr;
}
