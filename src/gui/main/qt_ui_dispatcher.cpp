#include "gui/main/qt_ui_dispatcher.h"

#include <QCoreApplication>
#include <QThread>
#include <stdexcept>

namespace tw {

namespace {
const char* const kClosed = "the user interface has closed";
}

QtUiDispatcher::QtUiDispatcher(QObject* context) : context(context) {}

QtUiDispatcher::~QtUiDispatcher() { shutdown(); }

void QtUiDispatcher::synchronize(std::function<void()> step) {
  QObject* target = context.data();
  if (target != nullptr && QThread::currentThread() == target->thread()) {
    step();
    return;
  }
  auto call = std::make_shared<Call>();
  call->step = std::move(step);
  {
    std::lock_guard guard(state->lock);
    if (state->closed || target == nullptr) throw std::runtime_error(kClosed);
    state->pending.push_back(call);
  }
  QMetaObject::invokeMethod(
      target, [shared = state, call] { run(*shared, call); }, Qt::QueuedConnection);
  std::unique_lock guard(state->lock);
  state->finished.wait(guard, [&] { return call->done; });
  if (call->error) std::rethrow_exception(call->error);
}

void QtUiDispatcher::run(State& state, const std::shared_ptr<Call>& call) {
  {
    std::lock_guard guard(state.lock);
    if (call->done) return;  // failed by shutdown
    state.pending.remove(call);
  }
  std::exception_ptr error;
  try {
    call->step();
  } catch (...) {
    error = std::current_exception();
  }
  std::lock_guard guard(state.lock);
  call->error = error;
  call->done = true;
  state.finished.notify_all();
}

void QtUiDispatcher::shutdown() {
  std::lock_guard guard(state->lock);
  state->closed = true;
  for (const auto& call : state->pending) {
    call->error = std::make_exception_ptr(std::runtime_error(kClosed));
    call->done = true;
  }
  state->pending.clear();
  state->finished.notify_all();
}

}  // namespace tw
