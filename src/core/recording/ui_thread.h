#pragma once

#include <functional>

namespace tw {

// The user-interface thread of a front end, as the recording sees it: a place to post work to.
// The recording never waits for that thread; what it posts runs later, there, in the order
// posted.
//
// Threads: post() from any thread. The front end owns the implementation; it outlives every
// recording that posts to it.
class UiThread {
 public:
  virtual ~UiThread() = default;
  // Queues `work` to run on the user-interface thread; returns at once.
  virtual void post(std::function<void()> work) = 0;
};

}  // namespace tw
