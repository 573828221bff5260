#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
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

// Event numbers that more than one subsystem names.
enum EventNum : int {
  evAssociation = 0,
  evAttributes = 1,
  evCreate = 2,
  evDelete = 3,
  evDriveAdd = 4,
  evDriveAddGui = 5,
  evDriveRemoved = 6,
  evMediaInserted = 7,
  evMediaRemoved = 8,
  evMkDir = 9,
  evNetShare = 10,
  evNetUnshare = 11,
  evRenameFolder = 12,
  evRenameItem = 13,
  evRmDir = 14,
  evServerDisconnect = 15,
  evUpdateDir = 16,
  evUpdateImage = 17,
  evUpdateItem = 18,
};

// The shell event bit of each event number (index = event number).
inline constexpr std::array<std::uint32_t, kEventCount> kEventBits = {
    0x08000000,  // 0  SHCNE_ASSOCCHANGED
    0x00000800,  // 1  SHCNE_ATTRIBUTES
    0x00000002,  // 2  SHCNE_CREATE
    0x00000004,  // 3  SHCNE_DELETE
    0x00000100,  // 4  SHCNE_DRIVEADD
    0x00010000,  // 5  SHCNE_DRIVEADDGUI
    0x00000080,  // 6  SHCNE_DRIVEREMOVED
    0x00000020,  // 7  SHCNE_MEDIAINSERTED
    0x00000040,  // 8  SHCNE_MEDIAREMOVED
    0x00000008,  // 9  SHCNE_MKDIR
    0x00000200,  // 10 SHCNE_NETSHARE
    0x00000400,  // 11 SHCNE_NETUNSHARE
    0x00020000,  // 12 SHCNE_RENAMEFOLDER
    0x00000001,  // 13 SHCNE_RENAMEITEM
    0x00000010,  // 14 SHCNE_RMDIR
    0x00004000,  // 15 SHCNE_SERVERDISCONNECT
    0x00001000,  // 16 SHCNE_UPDATEDIR
    0x00008000,  // 17 SHCNE_UPDATEIMAGE
    0x00002000,  // 18 SHCNE_UPDATEITEM
};

// Set by the shell on notifications that come from an interrupt; not an event kind.
inline constexpr std::uint32_t kShcneInterrupt = 0x80000000u;

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

// The event number whose bit equals `value` as a whole; none for no bit, several bits or a
// bit without a number. The caller clears kShcneInterrupt first.
std::optional<int> eventNumFromBit(std::uint32_t value);

// The bit of one event number; 0 for a number outside 0..18.
std::uint32_t eventBit(int eventNum);

// The OR of the bits of the given event numbers.
std::uint32_t eventMask(std::span<const int> eventNums);

}  // namespace tw
