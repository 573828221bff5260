// The stop requests of a POSIX process: the signals are blocked in every thread (threads inherit
// the mask of main, which blocks them first) and taken synchronously by the thread that waits.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/stop_signals.h"

namespace tw {

namespace {

// What wake() sends: the waiting thread takes it like a stop signal and tells it apart.
constexpr int kWakeSignal = SIGUSR1;

sigset_t waitedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, kWakeSignal}) sigaddset(&set, signal);
  return set;
}

class PosixStopSignals : public StopSignals {
 public:
  Event next(std::optional<std::chrono::steady_clock::time_point> deadline) override {
    const sigset_t set = waitedSignals();
    for (;;) {
      int signal = 0;
      if (!deadline) {
        signal = sigwaitinfo(&set, nullptr);
      } else {
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero()) return Event::TimedOut;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        signal = sigtimedwait(&set, nullptr, &wait);
      }
      if (signal == kWakeSignal) return Event::Woken;
      if (signal > 0) return Event::Stop;
      if (errno == EAGAIN) return Event::TimedOut;
      // EINTR: a signal outside the set was handled; wait on.
    }
  }

  void wake() override { kill(getpid(), kWakeSignal); }
};

}  // namespace

void prepareProcessStopSignals() {
  const sigset_t set = waitedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A write beyond the file-size limit fails with EFBIG instead of ending the process.
  ::signal(SIGXFSZ, SIG_IGN);
}

StopSignals& processStopSignals() {
  static PosixStopSignals signals;
  return signals;
}

}  // namespace tw
