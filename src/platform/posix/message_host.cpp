#include "platform/posix/message_host.h"

#include <algorithm>

namespace posix {

MessageHost::MessageHost(std::string dataDir, bool builtinFontsOnly, std::string saveDir)
    : frame_(static_cast<size_t>(kWidth) * kHeight, 0),
      data_(std::move(dataDir), std::move(saveDir)),
      fonts_(builtinFontsOnly) {}

bool MessageHost::ClaimSaveFolder() {
  // The save folder is made now rather than at the first write: the lock
  // lives in it. A folder that cannot be made fails every write anyway.
  if (!data_.MakeWritableRoot()) return true;
  switch (lock_.Take(data_.Writable().Root())) {
    case FolderLock::State::Busy:
      return false;
    case FolderLock::State::Held:
      // Whatever an earlier run's interrupted writes left behind can go.
      data_.RemoveStaleTemporaries();
      return true;
    case FolderLock::State::Unavailable:
      // Nothing proves the temporaries' writers gone: they stay.
      return true;
  }
  return true;
}

void MessageHost::AttachWindow(plat::WindowProc proc) {
  proc_ = proc;
  windowOpen_ = true;
}

void MessageHost::DetachWindow() {
  if (!windowOpen_) return;
  SendToProc(plat::msg::Destroy, 0, 0);
  windowOpen_ = false;
  timers_.clear();
  invalid_.clear();
}

void MessageHost::Post(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  queue_.push_back({id, wParam, lParam});
}

void MessageHost::PostQuit(int code) {
  quitPosted_ = true;
  quitCode_ = code;
}

uint64_t MessageHost::NextTimerDue() const {
  uint64_t due = plat::kNoDeadline;
  if (!windowOpen_) return due;
  for (const auto& [id, t] : timers_) due = std::min(due, t.due);
  return due;
}

bool MessageHost::TakeReady(plat::Message& out, bool remove, uint64_t now) {
  if (!queue_.empty()) {
    out = queue_.front();
    if (remove) queue_.erase(queue_.begin());
    return true;
  }
  if (quitPosted_) {
    out = {plat::msg::Quit, static_cast<uintptr_t>(quitCode_), 0};
    if (remove) quitPosted_ = false;
    return true;
  }
  if (PaintPending()) {
    out = {plat::msg::Paint, 0, 0};  // stays ready until a paint validates
    return true;
  }
  if (windowOpen_) {
    for (auto& [id, t] : timers_) {
      if (t.due <= now) {
        out = {plat::msg::Timer, id, 0};
        if (remove) t.due = now + t.period;  // missed periods do not pile up
        return true;
      }
    }
  }
  return false;
}

bool MessageHost::TakeReadyUrgent(plat::Message& out) {
  const auto urgent = std::find_if(queue_.begin(), queue_.end(), [](const plat::Message& m) {
    return m.id == plat::msg::Close || m.id == plat::msg::EndSession ||
           (m.id == plat::msg::KeyDown && plat::IsQuitKey(m.wParam));
  });
  if (urgent != queue_.end()) {
    out = *urgent;
    queue_.erase(urgent);
    return true;
  }
  if (quitPosted_) {
    out = {plat::msg::Quit, static_cast<uintptr_t>(quitCode_), 0};
    quitPosted_ = false;
    return true;
  }
  if (PaintPending()) {
    out = {plat::msg::Paint, 0, 0};
    return true;
  }
  return false;
}

void MessageHost::SendToProc(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  if (!windowOpen_ || !proc_) return;
  Delivered(id);
  proc_(id, wParam, lParam);
}

void MessageHost::Dispatch(const plat::Message& m) {
  if (m.id != plat::msg::Paint) {
    SendToProc(m.id, m.wParam, m.lParam);
    return;
  }
  if (!PaintPending()) return;
  paintRects_ = std::move(invalid_);
  invalid_.clear();
  inPaint_ = true;
  SendToProc(plat::msg::Paint, 0, 0);
  inPaint_ = false;
  FramePainted(paintRects_);
  paintRects_.clear();
}

void MessageHost::Invalidate(const plat::Rect* r) {
  const plat::Rect c = r ? *r : plat::Rect{0, 0, kWidth, kHeight};
  Invalidated(c);
  if (!windowOpen_) return;
  const int x0 = std::max(c.x, 0), y0 = std::max(c.y, 0);
  const int x1 = static_cast<int>(std::min<int64_t>(int64_t{c.x} + c.w, kWidth));
  const int y1 = static_cast<int>(std::min<int64_t>(int64_t{c.y} + c.h, kHeight));
  if (x1 <= x0 || y1 <= y0) return;
  invalid_.push_back({x0, y0, x1 - x0, y1 - y0});
  // Keep the region small: past a few dozen pieces its bounding box will do.
  if (invalid_.size() > 64) {
    int bx0 = kWidth, by0 = kHeight, bx1 = 0, by1 = 0;
    for (const auto& q : invalid_) {
      bx0 = std::min(bx0, q.x);
      by0 = std::min(by0, q.y);
      bx1 = std::max(bx1, q.x + q.w);
      by1 = std::max(by1, q.y + q.h);
    }
    invalid_.assign(1, {bx0, by0, bx1 - bx0, by1 - by0});
  }
}

void MessageHost::UpdateNow() {
  if (PaintPending()) Dispatch({plat::msg::Paint, 0, 0});
}

// Like a paint on Windows, only the invalid part of the window changes.
void MessageHost::Present(const plat::PixelView& image, int destX, int destY, int srcY) {
  if (!inPaint_ || !image.pixels) return;
  for (const auto& r : paintRects_) {
    for (int wy = r.y; wy < r.y + r.h; ++wy) {
      const int64_t iy = int64_t{wy} - destY + srcY;
      if (iy < 0 || iy >= image.height) continue;
      const auto* row = reinterpret_cast<const uint16_t*>(
          reinterpret_cast<const uint8_t*>(image.pixels) +
          static_cast<int64_t>(image.height - 1 - iy) * image.stride);
      const int xs = std::max(r.x, destX);
      const int xe = static_cast<int>(std::min<int64_t>(r.x + r.w, int64_t{destX} + image.width));
      if (xs >= xe) continue;
      std::copy(row + (xs - destX), row + (xe - destX), frame_.begin() + wy * kWidth + xs);
    }
  }
}

void MessageHost::StartTimer(uint32_t id, uint32_t periodMs) {
  const uint32_t period = std::max<uint32_t>(periodMs, 1);
  timers_[id] = {period, Millis() + period};
}

void MessageHost::StopTimer(uint32_t id) { timers_.erase(id); }

bool MessageHost::ResolveForRead(const char* nameSjis, std::string& path) {
  std::string why;
  if (data_.Resolve(nameSjis, path, &why)) return true;
  NameRefused(nameSjis, why);
  return false;
}

bool MessageHost::ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) {
  std::string path;
  return ResolveForRead(nameSjis, path) && ReadHostFile(path, out);
}

bool MessageHost::ReadFileHead(const char* nameSjis, uint64_t maxBytes, std::vector<uint8_t>& out) {
  std::string path;
  return ResolveForRead(nameSjis, path) && ReadHostFileHead(path, out, maxBytes);
}

bool PumpedHost::Peek() {
  Pump();
  plat::Message m;
  return TakeReady(m, false, Millis());
}

bool PumpedHost::Get(plat::Message& out) {
  for (;;) {
    Pump();
    if (TakeReady(out, true, Millis())) return out.id != plat::msg::Quit;
    Block(plat::kNoDeadline);
  }
}

bool PumpedHost::TakeUrgent(plat::Message& out) {
  Pump();
  return TakeReadyUrgent(out);
}

void PumpedHost::WaitReady(uint64_t deadline) {
  if (Peek() || Millis() >= deadline) return;
  Block(deadline);
}

bool RepeatCounts(uint32_t vk) {
  switch (vk) {
    case plat::vk::PageUp:
    case plat::vk::PageDown:
    case plat::vk::Up:
    case plat::vk::Down:
    case plat::vk::Minus:
    case plat::vk::Plus:
    case plat::vk::Subtract:
    case plat::vk::Add:
    case plat::vk::LeftBracket:
    case plat::vk::RightBracket:
      return true;
    default:
      return false;
  }
}

}  // namespace posix
