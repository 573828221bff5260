#include <windows.h>

#include <io.h>
#include <stdio.h>

#include "platform/stop_requests.h"

namespace tw {

namespace {

HANDLE stopEvent() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI onConsoleEvent(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
    SetEvent(stopEvent());
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void prepareStopRequests() {
  stopEvent();
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool waitForStopRequest(std::optional<std::chrono::milliseconds> timeout) {
  const DWORD wait =
      timeout ? static_cast<DWORD>(std::min<long long>(timeout->count(), INFINITE - 1)) : INFINITE;
  return WaitForSingleObject(stopEvent(), wait) == WAIT_OBJECT_0;
}

void requestStop() { SetEvent(stopEvent()); }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace tw
