#include "core/events/event_kinds.h"

#include <algorithm>

#include "core/text/text_lines.h"

namespace tw {

const std::string_view kEventNamesText =
    "Association\r\n"
    "Attributes\r\n"
    "Create\r\n"
    "Delete\r\n"
    "Adding Drive\r\n"
    "Explorer Drive Added\r\n"
    "Drive removed\r\n"
    "Adding Media\r\n"
    "Media removed\r\n"
    "New Directory\r\n"
    "Network Share\r\n"
    "Network UnShare\r\n"
    "Rename Folder\r\n"
    "Rename File\r\n"
    "Delete Directory\r\n"
    "Server Disconnect\r\n"
    "Update Directory\r\n"
    "Update Image\r\n"
    "Update File";

const std::vector<std::string>& eventNames() {
  // A function-local static is built exactly once, thread-safely, and freed at exit.
  static const std::vector<std::string> names = splitLines(kEventNamesText);
  return names;
}

std::string getEventName(int eventNum, const std::vector<std::string>& names) {
  if (eventNum < 0 || static_cast<std::size_t>(eventNum) >= names.size()) return "Unknown";
  const std::string& name = names[static_cast<std::size_t>(eventNum)];
  return isBlank(name) ? std::string("Unknown") : name;
}

std::string getEventName(int eventNum) { return getEventName(eventNum, eventNames()); }

bool isNotFileEvent(int eventNum) {
  const auto kind = eventKindOf(eventNum);
  return kind != EventKind::FileCreated && kind != EventKind::FileDeleted && kind != EventKind::FileRenamed &&
         kind != EventKind::FileUpdated;
}

}  // namespace tw
