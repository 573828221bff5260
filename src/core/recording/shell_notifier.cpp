#include "core/recording/shell_notifier.h"

#include <utility>

namespace tw {

TShellNotifierObj::TShellNotifierObj(ShellNotify& platform, std::string _path, bool _sub)
    : platform(platform), Path(std::move(_path)), Sub(_sub) {
  statusAlloc = platform.getShellMalloc();
  _pidl = platform.parseDisplayName(Path);
  if (_pidl == nullptr) {
    statusParse = false;
    return;
  }
  Notifier.pidl = _pidl;
  Notifier.fRecursive = Sub ? -1 : 0;
}

TShellNotifierObj::~TShellNotifierObj() {
  if (statusParse && notifierHandle > 0) platform.changeNotifyDeregister(notifierHandle);
  // The list is freed even when the allocator could not be obtained at creation: the platform
  // frees it with its own allocator, so no list leaks.
  if (statusParse) platform.freeIdList(_pidl);
}

void TShellNotifierObj::setEventsMon(bool val, std::uint16_t numMon) {
  if (numMon < kEventCount) EventsMon[numMon] = val;
}

void TShellNotifierObj::setAllEvents(bool b) { EventsMon.fill(b); }

std::int32_t TShellNotifierObj::getEventsMon() const {
  std::uint32_t mask = 0;
  for (int n = 0; n < kEventCount; ++n) {
    if (EventsMon[static_cast<std::size_t>(n)]) mask |= eventBit(n);
  }
  return static_cast<std::int32_t>(mask);
}

}  // namespace tw
