// The stop requests of a Windows console program, on top of the console's stop event
// (platform/stop_requests.h), which stays set once a request came: the first request is told,
// later ones cannot be told apart from it.
#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/stop_requests.h"
#include "platform/stop_signals.h"

namespace tw {

namespace {

class ConsoleStopSignals : public StopSignals {
 public:
  Event next(std::optional<std::chrono::steady_clock::time_point> deadline) override {
    using namespace std::chrono_literals;
    for (;;) {
      if (woken.exchange(false)) return Event::Woken;
      auto slice = std::chrono::milliseconds(50);
      if (deadline) {
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero()) return Event::TimedOut;
        slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(left));
      }
      // The slices let wake() through, which the console's event knows nothing of.
      if (!told) {
        if (waitForStopRequest(slice)) {
          told = true;
          return Event::Stop;
        }
      } else {
        std::this_thread::sleep_for(slice);
      }
    }
  }
  void wake() override { woken.store(true); }

 private:
  std::atomic<bool> woken{false};
  bool told = false;
};

}  // namespace

void prepareProcessStopSignals() { prepareStopRequests(); }

StopSignals& processStopSignals() {
  static ConsoleStopSignals signals;
  return signals;
}

}  // namespace tw
