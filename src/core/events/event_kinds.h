#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The 19 kinds of change, numbered 0 to 18 in the alphabetical order of the shell constants.
inline constexpr int kEventCount = 19;

// A kind of change, by its number. The numbers are stored (settings, recordings) and shown, so
// they never change.
enum class EventKind : int {
  Association = 0,          // "Association": a file type's association changed
  Attributes = 1,           // "Attributes": mode, owner, times or extended attributes
  FileCreated = 2,          // "Create"
  FileDeleted = 3,          // "Delete"
  DriveAdded = 4,           // "Adding Drive"
  DriveAddedByShell = 5,    // "Explorer Drive Added"
  DriveRemoved = 6,         // "Drive removed"
  MediaInserted = 7,        // "Adding Media"
  MediaRemoved = 8,         // "Media removed"
  FolderCreated = 9,        // "New Directory"
  NetworkShared = 10,       // "Network Share"
  NetworkUnshared = 11,     // "Network UnShare"
  FolderRenamed = 12,       // "Rename Folder"
  FileRenamed = 13,         // "Rename File"
  FolderDeleted = 14,       // "Delete Directory"
  ServerDisconnected = 15,  // "Server Disconnect"
  // "Update Directory": the folder's content changed in ways not told one by one and must be
  // read again. On Linux: the kernel's event queue overflowed, or changes could not be placed.
  FolderNeedsRescan = 16,
  ImageUpdated = 17,  // "Update Image"
  FileUpdated = 18,   // "Update File": written and closed
};

constexpr int eventNumber(EventKind kind) { return static_cast<int>(kind); }
// The kind of a number; none for a number outside 0..18.
constexpr std::optional<EventKind> eventKindOf(int number) {
  if (number < 0 || number >= kEventCount) return std::nullopt;
  return static_cast<EventKind>(number);
}

// A set of kinds (bit n = kind n), as chosen in the settings.
using EventKindSet = std::bitset<kEventCount>;
inline EventKindSet allEventKinds() { return EventKindSet().set(); }

// The display names as one text of 19 lines separated by CR LF, in event-number order.
extern const std::string_view kEventNamesText;

// The process-wide list of display names, built from kEventNamesText on first use and never
// changed afterwards, so any thread may read it. Program start calls it once, before any
// window exists, so that the list is in place from then on.
const std::vector<std::string>& eventNames();

// The display name of an event number: the entry of `names` at that index, or "Unknown" when
// the entry is blank (nothing left after removing the characters up to U+0020 at both ends)
// or the number has no entry.
std::string getEventName(int eventNum, const std::vector<std::string>& names);
std::string getEventName(int eventNum);

// False for the file events Create, Delete, Rename File and Update File; true otherwise.
bool isNotFileEvent(int eventNum);

}  // namespace tw
