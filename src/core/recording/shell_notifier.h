#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/events/event_kinds.h"
#include "platform/platform.h"

namespace tw {

// One subscription to the platform's change notification for one path: the parsed path, the
// per-event switches and their mask, and the registration id. Created, registered and
// destroyed on the monitor thread only. Destroying it ends the registration before the parsed
// path is freed.
class TShellNotifierObj {
 public:
  TShellNotifierObj(ShellNotify& platform, std::string _path, bool _sub);
  ~TShellNotifierObj();
  TShellNotifierObj(const TShellNotifierObj&) = delete;
  TShellNotifierObj& operator=(const TShellNotifierObj&) = delete;

  NotifyEntry getNotifider() const { return Notifier; }
  bool getStatusParse() const { return statusParse; }
  bool getStatusAlloc() const { return statusAlloc; }
  std::uint32_t getNotifierHandle() const { return notifierHandle; }
  void setNotifierHandle(std::uint32_t h) { notifierHandle = h; }
  const std::string& getPath() const { return Path; }

  // Sets the switch of event number `numMon`; numbers above 18 are ignored.
  void setEventsMon(bool val, std::uint16_t numMon);
  void setAllEvents(bool b);
  // The OR of the shell bits of the switched-on event numbers.
  std::int32_t getEventsMon() const;

 private:
  ShellNotify& platform;
  NotifyEntry Notifier;
  std::string Path;
  bool Sub;
  std::array<bool, kEventCount> EventsMon{};
  ItemIdList _pidl = nullptr;
  bool statusParse = true;
  bool statusAlloc = true;
  std::uint32_t notifierHandle = 0;
};

}  // namespace tw
