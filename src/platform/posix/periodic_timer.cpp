#include "platform/posix/periodic_timer.h"

#include <chrono>

namespace posix {

PeriodicTimerThread::~PeriodicTimerThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    activeId_ = 0;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

uint32_t PeriodicTimerThread::Start(uint32_t periodMs, plat::Host::PeriodicCallback callback,
                                    void* user) {
  std::lock_guard lock(mutex_);
  if (++nextId_ == 0) ++nextId_;
  activeId_ = nextId_;
  periodMs_ = periodMs ? periodMs : 1;
  callback_ = callback;
  user_ = user;
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { Run(); });
    workerId_ = worker_.get_id();
  }
  wake_.notify_all();
  return activeId_;
}

void PeriodicTimerThread::Kill(uint32_t id) {
  std::unique_lock lock(mutex_);
  if (id == 0) return;
  if (activeId_ == id) {
    activeId_ = 0;
    wake_.notify_all();  // a worker asleep for a long period goes idle now
  }
  if (std::this_thread::get_id() == workerId_) return;
  settled_.wait(lock, [&] { return runningId_ != id; });
}

uint64_t PeriodicTimerThread::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void PeriodicTimerThread::Run() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(mutex_);
  uint32_t timedId = 0;
  Clock::time_point due;
  while (!quit_) {
    if (activeId_ == 0) {
      wake_.wait(lock, [&] { return quit_ || activeId_ != 0; });
      continue;
    }
    if (timedId != activeId_) {  // a new timer: its first call one period from now
      timedId = activeId_;
      due = Clock::now() + std::chrono::milliseconds(periodMs_);
    }
    if (wake_.wait_until(lock, due, [&] { return quit_ || activeId_ != timedId; })) continue;
    const uint32_t id = activeId_;
    const auto callback = callback_;
    void* user = user_;
    runningId_ = id;
    ++calls_;
    lock.unlock();
    callback(id, user);
    lock.lock();
    runningId_ = 0;
    settled_.notify_all();
    // Periods missed by a slow callback are dropped, not made up in a burst.
    due += std::chrono::milliseconds(periodMs_);
    const auto now = Clock::now();
    if (due < now) due = now;
  }
}

}  // namespace posix
