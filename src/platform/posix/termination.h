// The system's requests to end the program (SIGTERM, SIGINT, SIGHUP) for a
// host that sleeps in an event source of its own. The handler only notes the
// request and wakes a watcher thread; the watcher wakes the host's wait by
// the host's own means (nothing else is safe inside a handler), and the host
// takes the request in its next pump as the end of the session.
#pragma once

#include <csignal>
#include <functional>
#include <thread>

namespace posix {

class TerminationSignals {
 public:
  // Catches the three signals, but one its parent set to be ignored (nohup,
  // a shell's background job) stays ignored. wake runs on the watcher
  // thread after each request. One instance at a time.
  explicit TerminationSignals(std::function<void()> wake);
  // Gives the signals back to their earlier handling and ends the watcher.
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // True once for the requests that came since the last call.
  static bool Take();

  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

 private:
  void Watch();

  std::function<void()> wake_;
  int pipe_[2] = {-1, -1};  // the handler writes, the watcher reads
  struct sigaction earlier_[3] = {};
  bool caught_[3] = {};
  std::thread watcher_;
};

}  // namespace posix
