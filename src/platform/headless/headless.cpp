#include "platform/headless/headless.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "platform/headless/png_writer.h"

namespace headless {
namespace {

// A run that never ends on its own is closed after this much virtual time.
constexpr uint64_t kHardLimitMs = 6ull * 60 * 60 * 1000;
// A scripted click holds the button this long, as a hand would; the game's
// waits only see a press that lasts across one of their polls.
constexpr uint64_t kClickHoldMs = 50;
// An automated player's pause before each click, so that a watcher of the
// run (or its screenshots) can follow the cards.
constexpr uint64_t kAutoPauseMs = 600;

// A click as the script's "click X Y" makes it: move, press, release.
std::vector<InputEvent> ClickEvents(const InputEvent& e, InputEvent::Kind down,
                                    InputEvent::Kind up) {
  InputEvent move = e, press = e, release = e;
  move.kind = InputEvent::Kind::Move;
  press.kind = down;
  press.trigger = InputEvent::Trigger::After;
  press.ms = 0;
  release.kind = up;
  release.trigger = InputEvent::Trigger::After;
  release.ms = kClickHoldMs;
  return {move, press, release};
}

constexpr std::pair<const char*, uint32_t> kKeys[] = {{"enter", plat::vk::Return},
                                                      {"esc", plat::vk::Escape},
                                                      {"f1", plat::vk::F1},
                                                      {"f2", plat::vk::F2},
                                                      {"f4", plat::vk::F4},
                                                      {"f11", plat::vk::F11},
                                                      {"f12", plat::vk::F12},
                                                      {"tab", plat::vk::Tab},
                                                      {"ctrl", plat::vk::Control},
                                                      {"shift", plat::vk::Shift},
                                                      {"pageup", plat::vk::PageUp},
                                                      {"pagedown", plat::vk::PageDown},
                                                      {"home", plat::vk::Home},
                                                      {"end", plat::vk::End},
                                                      {"up", plat::vk::Up},
                                                      {"down", plat::vk::Down},
                                                      {"a", plat::vk::A},
                                                      {"m", plat::vk::M},
                                                      {"n", plat::vk::N},
                                                      {"y", plat::vk::Y},
                                                      {"t", plat::vk::T},
                                                      {"minus", plat::vk::Minus},
                                                      {"plus", plat::vk::Plus},
                                                      {"slash", plat::vk::Slash},
                                                      {"lbracket", plat::vk::LeftBracket},
                                                      {"rbracket", plat::vk::RightBracket}};

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

// Set by SIGTERM or SIGINT once CloseOnTermination has been called.
volatile std::sig_atomic_t g_terminationRequested = 0;

extern "C" void OnTermination(int) { g_terminationRequested = 1; }

}  // namespace

void CloseOnTermination() {
  std::signal(SIGTERM, OnTermination);
  std::signal(SIGINT, OnTermination);
}

// A termination request arrives as the end of the session: the game then
// quits the normal way, whatever it would ask a player.
void HeadlessHost::TakeTermination() {
  if (!g_terminationRequested) return;
  g_terminationRequested = 0;
  Post(plat::msg::EndSession, 1, 0);
}

namespace {

using K = InputEvent::Kind;

// The time a line may start with ("wait", "wait+MS", "@MS", "+MS"); word
// becomes the action after it. False with why when it is malformed.
bool ReadTrigger(std::istringstream& words, std::string& word, InputEvent& e, std::string& why) {
  if (word.rfind("wait", 0) == 0) {
    // "wait+MS": a pause of MS once the game waits, as a reader takes.
    e.trigger = InputEvent::Trigger::Wait;
    if (word.size() > 4) {
      char* end = nullptr;
      e.ms = std::strtoull(word.c_str() + 5, &end, 10);
      if (word[4] != '+' || word.size() < 6 || *end != '\0') {
        why = "bad wait \"" + word + "\"";
        return false;
      }
    }
    if (!(words >> word)) {
      why = "an action must follow \"wait\"";
      return false;
    }
  } else if (word[0] == '@' || word[0] == '+') {
    char* end = nullptr;
    const unsigned long long ms = std::strtoull(word.c_str() + 1, &end, 10);
    if (word.size() < 2 || *end != '\0') {
      why = "bad time \"" + word + "\"";
      return false;
    }
    e.trigger = word[0] == '@' ? InputEvent::Trigger::At : InputEvent::Trigger::After;
    e.ms = ms;
    if (!(words >> word)) {
      why = "an action must follow the time";
      return false;
    }
  }
  return true;
}

// The mouse actions, each at a point: 0 when word is none of them.
int ReadPointerAction(std::istringstream& words, const std::string& word, InputEvent& e,
                      std::vector<InputEvent>& produced, std::string& why) {
  constexpr std::pair<const char*, K> kButtons[] = {{"move", K::Move},
                                                    {"ldown", K::LDown},
                                                    {"lup", K::LUp},
                                                    {"rdown", K::RDown},
                                                    {"rup", K::RUp}};
  const bool click = word == "click" || word == "rclick";
  const auto* button = std::find_if(std::begin(kButtons), std::end(kButtons),
                                    [&](const auto& b) { return word == b.first; });
  if (!click && button == std::end(kButtons)) return 0;
  if (!(words >> e.x >> e.y)) {
    why = word + " needs X Y";
    return -1;
  }
  if (click) {
    const bool left = word == "click";
    produced = ClickEvents(e, left ? K::LDown : K::RDown, left ? K::LUp : K::RUp);
  } else {
    e.kind = button->second;
    produced = {e};
  }
  return 1;
}

// "key" is a press and its release; "keydown" and "keyup" let a key be held.
bool ReadKeyAction(std::istringstream& words, std::string word, InputEvent& e,
                   std::vector<InputEvent>& produced, std::string& why) {
  std::string name;
  if (!(words >> name) || !ParseKey(name, e.key)) {
    std::string known;
    for (const auto& [n, k] : kKeys) known += std::string(known.empty() ? "" : ", ") + n;
    why = word.append(" needs one of ").append(known);
    return false;
  }
  e.kind = word == "keyup" ? K::KeyUp : K::Key;
  produced = {e};
  if (word == "key") {
    InputEvent up = e;
    up.kind = K::KeyUp;
    up.trigger = InputEvent::Trigger::After;
    up.ms = 0;
    produced.push_back(up);
  }
  return true;
}

// The events an action word and its arguments make.
bool ReadAction(std::istringstream& words, const std::string& word, InputEvent& e,
                std::vector<InputEvent>& produced, std::string& why) {
  if (const int pointer = ReadPointerAction(words, word, e, produced, why)) return pointer > 0;
  if (word == "key" || word == "keydown" || word == "keyup")
    return ReadKeyAction(words, word, e, produced, why);
  if (word == "wheel") {
    if (!(words >> e.x)) {
      why = "wheel needs the notches, positive up";
      return false;
    }
    e.kind = K::Wheel;
  } else if (word == "altenter") {
    e.kind = K::SysKey;
    e.key = plat::vk::Return;
  } else if (word == "close" || word == "activate" || word == "deactivate") {
    e.kind = word == "close" ? K::Close : word == "activate" ? K::Activate : K::Deactivate;
  } else if (word == "autobattle") {
    e.kind = K::Auto;
    e.name = "battle";
  } else if (word == "screenshot") {
    e.kind = K::Screenshot;
    words >> e.name;
  } else {
    why = "unknown action \"" + word + "\"";
    return false;
  }
  produced = {e};
  return true;
}

// One line without its comment: false with why when it is malformed.
bool ReadLine(const std::string& line, int lineNo, std::vector<InputEvent>& out, std::string& why) {
  std::istringstream words(line);
  std::string word;
  if (!(words >> word)) return true;
  InputEvent e;
  e.sourceLine = lineNo;
  std::vector<InputEvent> produced;
  if (!ReadTrigger(words, word, e, why) || !ReadAction(words, word, e, produced, why)) return false;
  std::string extra;
  if (words >> extra) {
    why = "unexpected \"" + extra + "\"";
    return false;
  }
  out.insert(out.end(), produced.begin(), produced.end());
  return true;
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
    std::string why;
    if (!ReadLine(line, lineNo, out, why)) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
  }
  return true;
}

HeadlessHost::HeadlessHost(Options options)
    : MessageHost(options.dataDir, options.testFont, options.saveDir),
      options_(std::move(options)) {
  if (!options_.logFile.empty()) {
    logFile_ = posix::OpenFile(options_.logFile.c_str(), "w");
    if (!logFile_) startupError_ = "cannot write the log file " + options_.logFile;
  }
  if (options_.realClock) realBase_ = posix::MonotonicMillis();
  if (!options_.screenshotDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options_.screenshotDir, ec);
    if (ec || access(options_.screenshotDir.c_str(), W_OK) != 0)
      startupError_ = "cannot write screenshots into " + options_.screenshotDir;
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

uint64_t HeadlessHost::RealMillis() { return posix::MonotonicMillis(); }

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
    std::fprintf(logFile_.get(), "%s\n", full.c_str());
    std::fflush(logFile_.get());
  }
  log.push_back(std::move(full));
}

bool HeadlessHost::OpenWindow(const char* titleSjis, plat::WindowProc proc) {
  AttachWindow(proc);
  windowOpen = true;
  Record("window \"" + posix::SjisToUtf8(titleSjis) + "\" 640x480");
  return true;
}

void HeadlessHost::DestroyWindow() {
  if (!windowOpen) return;
  UpdateNow();
  if (!options_.screenshotDir.empty()) SaveScreenshot("exit");
  DetachWindow();
  windowOpen = false;
  Record("window destroyed");
}

uint64_t HeadlessHost::NextEventTime() {
  if (nextEvent_ >= events_.size()) return plat::kNoDeadline;
  const InputEvent& e = events_[nextEvent_];
  if (e.trigger == InputEvent::Trigger::Wait) return nextArmed_ ? nextTime_ : plat::kNoDeadline;
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
      if (e.ms > 0 ? !(nextArmed_ && nextTime_ <= now_) : !idle) return;
    } else if (NextEventTime() > now_) {
      return;
    }
    if (inputHook_) inputHook_(e, inputHookUser_);
    ++nextEvent_;
    ++delivered_;
    nextArmed_ = false;
    lastFire_ = now_;
    Fire(e);
    idle = false;
  }
}

void HeadlessHost::Fire(const InputEvent& e) {
  const intptr_t at = plat::PackPoint(e.x, e.y);
  auto mouse = [&](uint32_t id, const char* what) {
    cursor_ = {e.x, e.y};
    Post(id, 0, at);
    if (what) Record(std::string(what) + " " + std::to_string(e.x) + "," + std::to_string(e.y));
  };
  switch (e.kind) {
    case K::Move:
      mouse(plat::msg::MouseMove, nullptr);
      break;
    case K::LDown:
      mouse(plat::msg::LButtonDown, "left button down");
      break;
    case K::LUp:
      mouse(plat::msg::LButtonUp, nullptr);
      break;
    case K::RDown:
      mouse(plat::msg::RButtonDown, "right button down");
      break;
    case K::RUp:
      mouse(plat::msg::RButtonUp, nullptr);
      break;
    case K::Key:
      Record("key " + KeyName(e.key));
      Post(plat::msg::KeyDown, e.key, 0);
      break;
    case K::KeyUp:
      Post(plat::msg::KeyUp, e.key, 0);
      break;
    case K::Wheel: {
      Record("wheel " + std::to_string(e.x));
      const auto delta = static_cast<uint16_t>(static_cast<int16_t>(e.x * 120));
      Post(plat::msg::MouseWheel, static_cast<uintptr_t>(delta) << 16,
           plat::PackPoint(cursor_.x, cursor_.y));
      break;
    }
    case K::SysKey:
      Record("alt+enter");
      Post(plat::msg::SysKeyDown, e.key, 0);
      break;
    case K::Close:
      Record("window close button");
      Post(plat::msg::Close, 0, 0);
      break;
    case K::Activate:
      Post(plat::msg::Activate, plat::activate::Active, 0);
      break;
    case K::Deactivate:
      Post(plat::msg::Activate, plat::activate::Inactive, 0);
      break;
    case K::Screenshot:
      FireScreenshot(e);
      break;
    case K::Auto:
      FireAutomation(e);
      break;
  }
}

void HeadlessHost::FireScreenshot(const InputEvent& e) {
  UpdateNow();
  char name[32];
  std::snprintf(name, sizeof name, "shot-%04d", ++shotCount_);
  SaveScreenshot(e.name.empty() ? name : e.name);
}

void HeadlessHost::FireAutomation(const InputEvent& e) {
  // e lives in events_, which grows here.
  const InputEvent request = e;
  const std::vector<plat::Point> clicks =
      automation_ ? automation_(request.name) : std::vector<plat::Point>{};
  if (clicks.empty()) {
    Record("auto " + request.name + ": done");
    return;
  }
  std::vector<InputEvent> more;
  for (const plat::Point& p : clicks) {
    InputEvent pause;
    pause.trigger = InputEvent::Trigger::Wait;
    pause.ms = kAutoPauseMs;
    pause.x = p.x;
    pause.y = p.y;
    pause.sourceLine = request.sourceLine;
    const auto click = ClickEvents(pause, K::LDown, K::LUp);
    more.insert(more.end(), click.begin(), click.end());
  }
  more.push_back(request);
  events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(nextEvent_), more.begin(),
                 more.end());
}

// What has come by now: a termination request and the scripted input due.
void HeadlessHost::Arrive() {
  TakeTermination();
  Millis();
  FireDue(false);
}

bool HeadlessHost::Peek() {
  Arrive();
  plat::Message m;
  return TakeReady(m, false, now_);
}

bool HeadlessHost::Get(plat::Message& out) {
  for (;;) {
    Arrive();
    if (TakeReady(out, true, now_)) return out.id != plat::msg::Quit;
    Idle(plat::kNoDeadline);
  }
}

bool HeadlessHost::TakeUrgent(plat::Message& out) {
  Arrive();
  return TakeReadyUrgent(out);
}

void HeadlessHost::WaitReady(uint64_t deadline) {
  Millis();
  FireDue(false);
  plat::Message m;
  if (TakeReady(m, false, now_) || now_ >= deadline) return;
  Idle(deadline);
}

// Nothing is ready: move the clock to the next thing that can happen.
void HeadlessHost::Idle(uint64_t deadline) {
  const bool waitsForPlayer = deadline == plat::kNoDeadline;
  if (waitsForPlayer && nextEvent_ < events_.size() &&
      events_[nextEvent_].trigger == InputEvent::Trigger::Wait) {
    const InputEvent& e = events_[nextEvent_];
    if (e.ms == 0) {
      FireDue(true);
      return;
    }
    if (!nextArmed_) {  // the pause starts now that the game waits
      nextTime_ = now_ + e.ms;
      nextArmed_ = true;
    }
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

void HeadlessHost::Warn(const char* textSjis) {
  traces.emplace_back(textSjis);
  Record("warning: " + posix::SjisToUtf8(textSjis));
  if (!options_.echo && options_.warningsOnStderr)
    std::fprintf(stderr, "quillfen: %s\n", posix::SjisToUtf8(textSjis).c_str());
}

void HeadlessHost::EnterFullScreen() {
  fullScreen = true;
  Record("full screen");
}

void HeadlessHost::LeaveFullScreen() {
  fullScreen = false;
  Record("window mode");
}

void HeadlessHost::NameRefused(const char* nameSjis, const std::string& why) {
  Record("refused file name \"" + posix::SjisToUtf8(nameSjis) + "\": " + why);
}

bool HeadlessHost::SaveScreenshot(const std::string& name) {
  if (options_.screenshotDir.empty()) return false;
  const std::string path = options_.screenshotDir + "/" + name + ".png";
  const bool ok = WritePng555(path, frame_.data(), 640, 480);
  Record((ok ? "screenshot " : "screenshot FAILED ") + path);
  return ok;
}

}  // namespace headless
