#include "platform/headless/headless.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/headless/png_writer.h"

namespace headless {
namespace {

// A run that never ends on its own is closed after this much virtual time.
constexpr uint64_t kHardLimitMs = 6ull * 60 * 60 * 1000;
// A scripted click holds the button this long, as a hand would; the game's
// waits only see a press that lasts across one of their polls.
constexpr uint64_t kClickHoldMs = 50;

constexpr std::pair<const char*, uint32_t> kKeys[] = {
    {"enter", plat::vk::Return}, {"esc", plat::vk::Escape}, {"f1", plat::vk::F1},
    {"f4", plat::vk::F4},        {"f12", plat::vk::F12}};

std::string KeyName(uint32_t key) {
  for (const auto& [n, k] : kKeys) {
    if (k == key) return n;
  }
  return std::to_string(key);
}

bool ParseKey(const std::string& name, uint32_t& key) {
  for (const auto& [n, k] : kKeys) {
    if (name == n) {
      key = k;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseInputScript(const std::string& text, std::vector<InputEvent>& out, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  out.clear();
  while (std::getline(in, line)) {
    ++lineNo;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    };
    InputEvent e;
    e.sourceLine = lineNo;
    if (word == "wait") {
      e.trigger = InputEvent::Trigger::Wait;
      if (!(words >> word)) return fail("an action must follow \"wait\"");
    } else if (word[0] == '@' || word[0] == '+') {
      char* end = nullptr;
      const unsigned long long ms = std::strtoull(word.c_str() + 1, &end, 10);
      if (word.size() < 2 || *end != '\0') return fail("bad time \"" + word + "\"");
      e.trigger = word[0] == '@' ? InputEvent::Trigger::At : InputEvent::Trigger::After;
      e.ms = ms;
      if (!(words >> word)) return fail("an action must follow the time");
    }
    using K = InputEvent::Kind;
    auto readPoint = [&]() { return static_cast<bool>(words >> e.x >> e.y); };
    std::vector<InputEvent> produced;
    if (word == "click" || word == "rclick") {
      if (!readPoint()) return fail(word + " needs X Y");
      InputEvent move = e, down = e, up = e;
      move.kind = K::Move;
      down.kind = word == "click" ? K::LDown : K::RDown;
      down.trigger = InputEvent::Trigger::After;
      down.ms = 0;
      up.kind = word == "click" ? K::LUp : K::RUp;
      up.trigger = InputEvent::Trigger::After;
      up.ms = kClickHoldMs;
      produced = {move, down, up};
    } else if (word == "move" || word == "ldown" || word == "lup" || word == "rdown" ||
               word == "rup") {
      if (!readPoint()) return fail(word + " needs X Y");
      e.kind = word == "move"    ? K::Move
               : word == "ldown" ? K::LDown
               : word == "lup"   ? K::LUp
               : word == "rdown" ? K::RDown
                                 : K::RUp;
      produced = {e};
    } else if (word == "key") {
      std::string name;
      if (!(words >> name) || !ParseKey(name, e.key)) return fail("key needs enter, esc, f1, f4 or f12");
      e.kind = K::Key;
      produced = {e};
    } else if (word == "altenter") {
      e.kind = K::SysKey;
      e.key = plat::vk::Return;
      produced = {e};
    } else if (word == "close" || word == "activate" || word == "deactivate") {
      e.kind = word == "close" ? K::Close : word == "activate" ? K::Activate : K::Deactivate;
      produced = {e};
    } else if (word == "screenshot") {
      e.kind = K::Screenshot;
      words >> e.name;
      produced = {e};
    } else {
      return fail("unknown action \"" + word + "\"");
    }
    std::string extra;
    if (words >> extra) return fail("unexpected \"" + extra + "\"");
    out.insert(out.end(), produced.begin(), produced.end());
  }
  return true;
}

HeadlessHost::HeadlessHost(Options options)
    : options_(std::move(options)), data_(options_.dataDir), frame_(640 * 480, 0) {
  if (!options_.logFile.empty()) logFile_ = std::fopen(options_.logFile.c_str(), "w");
  if (options_.realClock) realBase_ = posix::MonotonicMillis();
  if (!options_.screenshotDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options_.screenshotDir, ec);
  }
}

uint64_t HeadlessHost::Millis() {
  if (options_.realClock) {
    const uint64_t t = posix::MonotonicMillis() - realBase_;
    if (std::this_thread::get_id() == mainThread_) now_ = t;
    return t;
  }
  return now_;
}

void HeadlessHost::SleepMs(uint32_t ms) { AdvanceTo(Millis() + ms); }

void HeadlessHost::AdvanceTo(uint64_t t) {
  if (!options_.realClock) {
    RunPeriodicUntil(t);
    if (t > now_) now_ = t;
    return;
  }
  const uint64_t now = Millis();
  if (t > now) std::this_thread::sleep_for(std::chrono::milliseconds(t - now));
  Millis();
  RunPeriodicUntil(now_);
}

void HeadlessHost::RunPeriodicUntil(uint64_t t) {
  // The callback may kill its timer or start another one; look again each time.
  while (periodic_.id != 0 && periodic_.due <= t) {
    if (periodic_.due > now_) now_ = periodic_.due;
    const uint32_t id = periodic_.id;
    periodic_.due += periodic_.period;
    periodic_.callback(id, periodic_.user);
  }
}

HeadlessHost::~HeadlessHost() {
  timerThread_.reset();
  if (!audioDone_ && !options_.audioOut.empty()) {
    std::string error;
    if (!FinishAudio(error)) std::fprintf(stderr, "quillfen: %s\n", error.c_str());
  }
  if (logFile_) std::fclose(logFile_);
}

void HeadlessHost::SetInput(std::vector<InputEvent> events) {
  events_ = std::move(events);
  nextEvent_ = 0;
  nextArmed_ = false;
}

void HeadlessHost::Record(const std::string& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8llu ms] ", static_cast<unsigned long long>(now_));
  std::string full = stamp + line;
  if (options_.echo) std::fprintf(stderr, "%s\n", full.c_str());
  if (logFile_) {
    std::fprintf(logFile_, "%s\n", full.c_str());
    std::fflush(logFile_);
  }
  log.push_back(std::move(full));
}

bool HeadlessHost::OpenWindow(const char* titleSjis, plat::WindowProc proc) {
  proc_ = proc;
  windowOpen = true;
  Record("window \"" + posix::SjisToUtf8(titleSjis) + "\" 640x480");
  return true;
}

void HeadlessHost::DestroyWindow() {
  if (!windowOpen) return;
  UpdateNow();
  if (!options_.screenshotDir.empty()) SaveScreenshot("exit");
  SendToProc(plat::msg::Destroy, 0, 0);
  windowOpen = false;
  timers_.clear();
  invalid_.clear();
  Record("window destroyed");
}

intptr_t HeadlessHost::DefaultProc(uint32_t, uintptr_t, intptr_t) { return 0; }

void HeadlessHost::Post(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  queue_.push_back({id, wParam, lParam});
}

void HeadlessHost::PostQuit(int code) {
  quitPosted_ = true;
  quitCode_ = code;
}

uint64_t HeadlessHost::NextTimerDue() const {
  uint64_t due = plat::kNoDeadline;
  if (!windowOpen) return due;
  for (const auto& [id, t] : timers_) due = std::min(due, t.due);
  return due;
}

uint64_t HeadlessHost::NextEventTime() {
  if (nextEvent_ >= events_.size()) return plat::kNoDeadline;
  const InputEvent& e = events_[nextEvent_];
  if (e.trigger == InputEvent::Trigger::Wait) return plat::kNoDeadline;
  if (!nextArmed_) {
    nextTime_ = e.trigger == InputEvent::Trigger::At ? e.ms : lastFire_ + e.ms;
    nextArmed_ = true;
  }
  return nextTime_;
}

void HeadlessHost::FireDue(bool idle) {
  while (nextEvent_ < events_.size()) {
    const InputEvent& e = events_[nextEvent_];
    if (e.trigger == InputEvent::Trigger::Wait) {
      if (!idle) return;
    } else if (NextEventTime() > now_) {
      return;
    }
    ++nextEvent_;
    nextArmed_ = false;
    lastFire_ = now_;
    Fire(e);
    idle = false;
  }
}

void HeadlessHost::Fire(const InputEvent& e) {
  using K = InputEvent::Kind;
  const intptr_t at = plat::PackPoint(e.x, e.y);
  auto mouse = [&](uint32_t id, const char* what) {
    cursor_ = {e.x, e.y};
    Post(id, 0, at);
    if (what) Record(std::string(what) + " " + std::to_string(e.x) + "," + std::to_string(e.y));
  };
  switch (e.kind) {
    case K::Move: mouse(plat::msg::MouseMove, nullptr); break;
    case K::LDown: mouse(plat::msg::LButtonDown, "left button down"); break;
    case K::LUp: mouse(plat::msg::LButtonUp, nullptr); break;
    case K::RDown: mouse(plat::msg::RButtonDown, "right button down"); break;
    case K::RUp: mouse(plat::msg::RButtonUp, nullptr); break;
    case K::Key:
      Record("key " + KeyName(e.key));
      Post(plat::msg::KeyDown, e.key, 0);
      break;
    case K::SysKey:
      Record("alt+enter");
      Post(plat::msg::SysKeyDown, e.key, 0);
      break;
    case K::Close:
      Record("window close button");
      Post(plat::msg::Close, 0, 0);
      break;
    case K::Activate: Post(plat::msg::Activate, plat::activate::Active, 0); break;
    case K::Deactivate: Post(plat::msg::Activate, plat::activate::Inactive, 0); break;
    case K::Screenshot: {
      UpdateNow();
      char name[32];
      std::snprintf(name, sizeof name, "shot-%04d", ++shotCount_);
      SaveScreenshot(e.name.empty() ? name : e.name);
      break;
    }
  }
}

bool HeadlessHost::TakeReady(plat::Message& out, bool remove) {
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
    out = {plat::msg::Paint, 0, 0};
    return true;
  }
  if (windowOpen) {
    for (auto& [id, t] : timers_) {
      if (t.due <= now_) {
        out = {plat::msg::Timer, id, 0};
        if (remove) t.due = now_ + t.period;  // missed periods do not pile up
        return true;
      }
    }
  }
  return false;
}

bool HeadlessHost::Peek() {
  Millis();
  FireDue(false);
  plat::Message m;
  return TakeReady(m, false);
}

bool HeadlessHost::Get(plat::Message& out) {
  for (;;) {
    Millis();
    FireDue(false);
    if (TakeReady(out, true)) return out.id != plat::msg::Quit;
    Idle(plat::kNoDeadline);
  }
}

void HeadlessHost::WaitReady(uint64_t deadline) {
  Millis();
  FireDue(false);
  plat::Message m;
  if (TakeReady(m, false) || now_ >= deadline) return;
  Idle(deadline);
}

// Nothing is ready: move the clock to the next thing that can happen.
void HeadlessHost::Idle(uint64_t deadline) {
  const bool waitsForPlayer = deadline == plat::kNoDeadline;
  if (waitsForPlayer && nextEvent_ < events_.size() &&
      events_[nextEvent_].trigger == InputEvent::Trigger::Wait) {
    FireDue(true);
    return;
  }
  auto endRun = [&](const char* why) {
    if (!closeSent_) {
      Record(why);
      Post(plat::msg::Close, 0, 0);
      closeSent_ = true;
    } else {
      PostQuit(0);  // the game did not close: end it anyway
    }
  };
  if (waitsForPlayer && nextEvent_ >= events_.size() && options_.until == 0) {
    endRun("input script finished: closing the window");
    return;
  }
  uint64_t target = std::min({deadline, NextEventTime(), NextTimerDue()});
  if (options_.until) target = std::min(target, options_.until);
  target = std::min(target, kHardLimitMs);
  if (target == plat::kNoDeadline) {
    endRun("nothing left to wait for: closing the window");
    return;
  }
  AdvanceTo(target);
  if (options_.until && now_ >= options_.until) {
    endRun("run time is over: closing the window");
  } else if (now_ >= kHardLimitMs) {
    endRun("virtual time limit reached: closing the window");
  }
}

void HeadlessHost::SendToProc(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  if (!windowOpen || !proc_) return;
  sentToProc.push_back(id);
  proc_(id, wParam, lParam);
}

void HeadlessHost::Dispatch(const plat::Message& m) {
  if (m.id == plat::msg::Paint) {
    if (!PaintPending()) return;
    paintRects_ = std::move(invalid_);
    invalid_.clear();
    inPaint_ = true;
    SendToProc(plat::msg::Paint, 0, 0);
    inPaint_ = false;
    paintRects_.clear();
    return;
  }
  SendToProc(m.id, m.wParam, m.lParam);
}

void HeadlessHost::Invalidate(const plat::Rect* r) {
  if (!windowOpen) return;
  plat::Rect c = r ? *r : plat::Rect{0, 0, 640, 480};
  const int x0 = std::max(c.x, 0), y0 = std::max(c.y, 0);
  const int x1 = std::min<int64_t>(int64_t{c.x} + c.w, 640);
  const int y1 = std::min<int64_t>(int64_t{c.y} + c.h, 480);
  if (x1 <= x0 || y1 <= y0) return;
  invalid_.push_back({x0, y0, x1 - x0, y1 - y0});
  // Keep the region small: past a few dozen pieces its bounding box will do.
  if (invalid_.size() > 64) {
    int bx0 = 640, by0 = 480, bx1 = 0, by1 = 0;
    for (const auto& q : invalid_) {
      bx0 = std::min(bx0, q.x);
      by0 = std::min(by0, q.y);
      bx1 = std::max(bx1, q.x + q.w);
      by1 = std::max(by1, q.y + q.h);
    }
    invalid_.assign(1, {bx0, by0, bx1 - bx0, by1 - by0});
  }
}

void HeadlessHost::UpdateNow() {
  if (PaintPending()) Dispatch({plat::msg::Paint, 0, 0});
}

void HeadlessHost::Present(const plat::PixelView& image, int destX, int destY, int srcY) {
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
      std::copy(row + (xs - destX), row + (xe - destX), frame_.begin() + wy * 640 + xs);
    }
  }
}

void HeadlessHost::StartTimer(uint32_t id, uint32_t periodMs) {
  timers_[id] = {std::max<uint32_t>(periodMs, 1), now_ + std::max<uint32_t>(periodMs, 1)};
}

void HeadlessHost::StopTimer(uint32_t id) { timers_.erase(id); }

void HeadlessHost::Beep() {
  ++beeps;
  Record("beep");
}

void HeadlessHost::ShowMessageBox(const char* textSjis, const char* captionSjis) {
  boxes.push_back({textSjis, captionSjis ? captionSjis : "", now_});
  std::string text = posix::SjisToUtf8(textSjis);
  std::replace(text.begin(), text.end(), '\n', '|');
  std::string line = "message box: " + text;
  if (captionSjis) line += "  [" + posix::SjisToUtf8(captionSjis) + "]";
  Record(line);
}

void HeadlessHost::Trace(const char* textSjis) {
  traces.emplace_back(textSjis);
  Record(posix::SjisToUtf8(textSjis));
}

void HeadlessHost::EnterFullScreen() {
  fullScreen = true;
  Record("full screen");
}

void HeadlessHost::LeaveFullScreen() {
  fullScreen = false;
  Record("window mode");
}

bool HeadlessHost::ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) {
  std::string path, why;
  if (!data_.Resolve(nameSjis, path, &why)) {
    Record("refused file name \"" + posix::SjisToUtf8(nameSjis) + "\": " + why);
    return false;
  }
  return data_.Read(nameSjis, out);
}

plat::WriteResult HeadlessHost::WriteWholeFile(const char* nameSjis, const void* data, size_t size) {
  return data_.Write(nameSjis, data, size);
}

bool HeadlessHost::SaveScreenshot(const std::string& name) {
  if (options_.screenshotDir.empty()) return false;
  const std::string path = options_.screenshotDir + "/" + name + ".png";
  const bool ok = WritePng555(path, frame_.data(), 640, 480);
  Record((ok ? "screenshot " : "screenshot FAILED ") + path);
  return ok;
}

}  // namespace headless
