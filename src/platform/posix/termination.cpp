#include "platform/posix/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace posix {

namespace {

// What the handler may touch: a lock-free flag and the pipe's write end.
std::atomic<bool> g_requested{false};
std::atomic<int> g_wakeFd{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr char kRequest = 1, kStop = 0;

extern "C" void OnTerminationSignal(int) {
  const int saved = errno;
  g_requested.store(true);
  const int fd = g_wakeFd.load();
  if (fd >= 0) {
    // A full pipe already holds a wake-up; nothing is lost.
    [[maybe_unused]] const ssize_t n = write(fd, &kRequest, 1);
  }
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> wake) : wake_(std::move(wake)) {
  if (pipe2(pipe_, O_CLOEXEC) != 0) {
    pipe_[0] = pipe_[1] = -1;
  } else {
    // The handler must never block on it.
    fcntl(pipe_[1], F_SETFL, fcntl(pipe_[1], F_GETFL) | O_NONBLOCK);
    g_wakeFd.store(pipe_[1]);
    watcher_ = std::thread([this] { Watch(); });
  }
  g_requested.store(false);
  struct sigaction caught = {};
  caught.sa_handler = OnTerminationSignal;
  sigemptyset(&caught.sa_mask);
  caught.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    if (sigaction(kSignals[i], nullptr, &earlier_[i]) != 0 || earlier_[i].sa_handler == SIG_IGN)
      continue;
    caught_[i] = sigaction(kSignals[i], &caught, nullptr) == 0;
  }
}

TerminationSignals::~TerminationSignals() {
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    if (caught_[i]) sigaction(kSignals[i], &earlier_[i], nullptr);
  }
  if (watcher_.joinable()) {
    [[maybe_unused]] const ssize_t n = write(pipe_[1], &kStop, 1);
    watcher_.join();
  }
  g_wakeFd.store(-1);
  for (const int fd : pipe_) {
    if (fd >= 0) close(fd);
  }
}

bool TerminationSignals::Take() { return g_requested.exchange(false); }

void TerminationSignals::Watch() {
  for (;;) {
    char bytes[64];
    const ssize_t n = read(pipe_[0], bytes, sizeof bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bool stop = false;
    for (ssize_t i = 0; i < n; ++i) stop = stop || bytes[i] == kStop;
    if (stop) return;
    wake_();
  }
}

}  // namespace posix
