#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>

#include "core/queue/ui_dispatcher.h"

namespace tw {

// The synchronised call of the desktop program: a step posted from a worker thread runs in the
// Qt event loop of the user-interface thread while the worker waits; a call made on the
// user-interface thread runs at once. Exceptions reach the caller.
//
// shutdown() (called when the event loop has ended, before the windows go) fails every step
// that has not run and every later one with std::runtime_error, so that no worker waits for an
// event loop that will never run again.
class QtUiDispatcher : public UiDispatcher {
 public:
  // `context` lives on the user-interface thread (the application object, for example).
  explicit QtUiDispatcher(QObject* context);
  ~QtUiDispatcher() override;
  QtUiDispatcher(const QtUiDispatcher&) = delete;
  QtUiDispatcher& operator=(const QtUiDispatcher&) = delete;

  void synchronize(std::function<void()> step) override;
  void shutdown();

 private:
  struct Call {
    std::function<void()> step;
    std::exception_ptr error;
    bool done = false;
  };
  // Shared with the posted events, which may outlive the dispatcher in the event queue.
  struct State {
    std::mutex lock;
    std::condition_variable finished;
    std::list<std::shared_ptr<Call>> pending;  // posted, not yet run
    bool closed = false;
  };
  static void run(State& state, const std::shared_ptr<Call>& call);

  QPointer<QObject> context;
  std::shared_ptr<State> state = std::make_shared<State>();
};

}  // namespace tw
