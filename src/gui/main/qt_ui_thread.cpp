#include "gui/main/qt_ui_thread.h"

#include <QMetaObject>

namespace tw {

void QtUiThread::post(std::function<void()> work) {
  QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

}  // namespace tw
