#pragma once

#include <QObject>

#include "core/recording/ui_thread.h"

namespace tw {

// The user-interface thread of the desktop program: posted work runs in the Qt event loop of the
// thread `context` lives on, in the order posted. Work still queued when `context` is destroyed
// is dropped by Qt.
//
// Threads: post() from any thread. Does not own `context`, which must outlive everything that
// posts (the main window is the context, and joins its recording's threads before it goes).
class QtUiThread : public UiThread {
 public:
  explicit QtUiThread(QObject* context) : context(context) {}
  void post(std::function<void()> work) override;

 private:
  QObject* context;
};

}  // namespace tw
