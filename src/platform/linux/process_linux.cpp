#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/stop_requests.h"

namespace tw {

namespace {
sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

void prepareStopRequests() {
  // Blocked here, the signals stay pending for sigtimedwait; threads started later inherit the
  // mask, so no thread is interrupted by them.
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool waitForStopRequest(std::optional<std::chrono::milliseconds> timeout) {
  const sigset_t set = stopSignals();
  const auto deadline =
      timeout ? std::chrono::steady_clock::now() + *timeout : std::chrono::steady_clock::time_point{};
  for (;;) {
    int result = 0;
    if (!timeout) {
      result = sigwaitinfo(&set, nullptr);
    } else {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) return false;
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timespec wait{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      result = sigtimedwait(&set, nullptr, &wait);
    }
    if (result > 0) return true;
    if (errno == EAGAIN) return false;  // the time ran out
    // EINTR: another signal came in; wait on.
  }
}

void requestStop() { kill(getpid(), SIGTERM); }

bool stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tw
