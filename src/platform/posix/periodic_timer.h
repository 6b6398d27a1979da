// A real-time periodic timer on a thread of its own, the stand-in for the
// Windows multimedia timer. One timer at a time: starting a new one replaces
// the old. The thread sleeps on a condition variable while no timer runs, so
// an idle game costs nothing.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace posix {

class PeriodicTimerThread {
 public:
  PeriodicTimerThread() = default;
  ~PeriodicTimerThread();
  PeriodicTimerThread(const PeriodicTimerThread&) = delete;
  PeriodicTimerThread& operator=(const PeriodicTimerThread&) = delete;

  // Returns the new timer's id (never 0).
  uint32_t Start(uint32_t periodMs, plat::Host::PeriodicCallback callback, void* user);
  // Returns once no callback of the timer runs any more; from inside the
  // callback it only ends the timer, since waiting there would never end.
  void Kill(uint32_t id);
  // Callbacks run so far (for tests and benchmarks).
  uint64_t Calls() const;

 private:
  void Run();

  mutable std::mutex mutex_;
  std::condition_variable wake_;     // the worker: a timer started or quit
  std::condition_variable settled_;  // Kill: the running callback returned
  std::thread worker_;
  std::thread::id workerId_;
  bool quit_ = false;
  uint32_t nextId_ = 0;
  uint32_t activeId_ = 0;   // 0: no timer
  uint32_t runningId_ = 0;  // the timer whose callback runs now, 0: none
  uint32_t periodMs_ = 1;
  plat::Host::PeriodicCallback callback_ = nullptr;
  void* user_ = nullptr;
  uint64_t calls_ = 0;
};

}  // namespace posix
