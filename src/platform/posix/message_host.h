// Windows message semantics for backends that have no Windows underneath:
// a posted queue, the quit flag, paint produced from an invalid region when
// the queue is empty, window timers produced last, and the client area's own
// pixels that paints present into. Headless and SDL build on it and add
// where events come from and how time passes.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/fonts.h"
#include "platform/posix/fs_routing.h"

namespace posix {

class MessageHost : public plat::Host {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  // saveDir: where the game's writes go (GameFiles); empty for the data
  // directory itself.
  MessageHost(std::string dataDir, bool builtinFontsOnly, std::string saveDir = {});

  // The client area as last presented: 640 x 480, X1R5G5B5, top-down.
  const std::vector<uint16_t>& Frame() const { return frame_; }
  uint16_t FramePixel(int x, int y) const { return frame_[static_cast<size_t>(y) * kWidth + x]; }
  bool WindowOpen() const { return windowOpen_; }
  GameFiles& data() { return data_; }
  FontBook& fonts() { return fonts_; }
  // plat::Host: the parts every such backend shares.
  intptr_t DefaultProc(uint32_t, uintptr_t, intptr_t) override { return 0; }
  void Post(uint32_t id, uintptr_t wParam, intptr_t lParam) override;
  void PostQuit(int code) override;
  void Dispatch(const plat::Message& m) override;
  int QuitCode() const override { return quitCode_; }
  void Invalidate(const plat::Rect* r) override;
  void UpdateNow() override;
  void Present(const plat::PixelView& image, int destX, int destY, int srcY) override;
  void StartTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id) override;

  plat::FontHandle MakeFont(const char* faceSjis, int pixelHeight, int weight) override {
    return fonts_.Make(faceSjis, pixelHeight, weight);
  }
  void DeleteFont(plat::FontHandle font) override { fonts_.Delete(font); }
  int MeasureChar(plat::FontHandle font, const char* ch, int len) override {
    return fonts_.Measure(font, ch, len);
  }
  void DrawChar(plat::FontHandle font, const char* ch, int len, uint32_t colour,
                const plat::Surface& target, int x, int y) override {
    fonts_.Draw(font, ch, len, colour, target, x, y);
  }

  bool ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) override;
  bool ReadFileHead(const char* nameSjis, uint64_t maxBytes, std::vector<uint8_t>& out) override;
  bool FileExists(const char* nameSjis) override { return data_.Exists(nameSjis); }
  plat::WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) override {
    return data_.Write(nameSjis, data, size);
  }
  bool RemoveFile(const char* nameSjis) override { return data_.Remove(nameSjis); }
  bool ResetFileAttributes(const char* nameSjis) override {
    return data_.ResetAttributes(nameSjis);
  }
  bool MakeFolder(const char* nameSjis) override { return data_.MakeFolder(nameSjis); }
  // At the start of a run, before the game reads or writes anything: makes
  // the folder writes go to this copy's own for the rest of the run (the
  // save folder is made for it) and clears what earlier runs' interrupted
  // writes left there. False when another copy of the game has the folder:
  // this one must then not run, or it would write over the other's progress.
  bool ClaimSaveFolder();

 protected:
  // Called by OpenWindow/DestroyWindow of the backend.
  void AttachWindow(plat::WindowProc proc);
  void DetachWindow();  // sends Destroy to the game first
  void SendToProc(uint32_t id, uintptr_t wParam, intptr_t lParam);
  // The next ready message in Windows order: posted, quit, paint, timer.
  bool TakeReady(plat::Message& out, bool remove, uint64_t now);
  // The same for the messages TakeUrgent takes, the others left in place.
  bool TakeReadyUrgent(plat::Message& out);
  uint64_t NextTimerDue() const;
  bool PaintPending() const { return windowOpen_ && !invalid_.empty(); }
  // After a paint has presented into these rectangles of the frame: show
  // them (SDL) or not.
  virtual void FramePainted(const std::vector<plat::Rect>& rects) { (void)rects; }
  // Each message as it is handed to the game, and each rectangle as the game
  // invalidates it (a whole-window call as 0, 0, 640, 480). A desktop session
  // keeps no record of them: it would grow for as long as the game is played.
  virtual void Delivered(uint32_t id) { (void)id; }
  virtual void Invalidated(const plat::Rect& r) { (void)r; }
  // A refused file name is worth telling the author about.
  virtual void NameRefused(const char* nameSjis, const std::string& why) = 0;
  bool ResolveForRead(const char* nameSjis, std::string& path);

  std::vector<uint16_t> frame_;

 private:
  struct TimerState {
    uint32_t period;
    uint64_t due;
  };

  GameFiles data_;
  FolderLock lock_;
  FontBook fonts_;
  plat::WindowProc proc_ = nullptr;
  bool windowOpen_ = false;
  std::vector<plat::Message> queue_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  std::vector<plat::Rect> invalid_;
  std::vector<plat::Rect> paintRects_;
  bool inPaint_ = false;
  std::map<uint32_t, TimerState> timers_;
};

// A host fed by a live event source (a desktop window, a browser page): the
// waits pump the source into the queue and sleep in it until an event or the
// deadline, the same on every such host.
class PumpedHost : public MessageHost {
 public:
  using MessageHost::MessageHost;
  bool Peek() override;
  bool Get(plat::Message& out) override;
  bool TakeUrgent(plat::Message& out) override;
  void WaitReady(uint64_t deadline) override;

 protected:
  // Moves what the source has into the queue.
  virtual void Pump() = 0;
  // Sleeps until the source has an event or the clock reaches the deadline.
  virtual void Block(uint64_t deadline) = 0;
};

// A key held down repeats on a live host; only these keys' repeats mean
// something to the game (scrolling and the volume steps), the rest are dropped.
bool RepeatCounts(uint32_t vk);

}  // namespace posix
