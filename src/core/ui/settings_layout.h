#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/path_style.h"

namespace tw {

// What both desktop front ends' settings windows hold in common beyond the options themselves:
// their pictures by index, the navigation tree, the drive usage bars, the record lock and the
// rule for a folder picked for exclusion. Pure; any thread.

// The pictures of the settings window's image list, by index.
inline constexpr int kSettingsImageCount = 13;
inline constexpr int kImgGear = 0;
inline constexpr int kImgDrive = 1;
inline constexpr int kImgFilters = 2;
inline constexpr int kImgAbout = 3;
inline constexpr int kImgAdd = 4;
inline constexpr int kImgDelete = 5;
inline constexpr int kImgAddLocked = 6;
inline constexpr int kImgDeleteLocked = 7;
inline constexpr int kImgFolders = 9;
inline constexpr int kImgEvents = 10;
inline constexpr int kImgEventOn = 11;   // green tick: the kind is recorded
inline constexpr int kImgEventOff = 12;  // small red cross: the kind is left out

// What a node of the navigation tree stands for; a click acts on it.
enum class NavigationTarget : int {
  GeneralPage,
  DrivesPage,
  FiltersHeading,  // a heading only: a click does nothing
  FiltersPage,
  EventsPage,
  About,
};

// One node of the navigation tree: its text, whether it is a child of the node "Filters
// Manager" before it, its picture and what a click on it does.
struct NavigationNode {
  std::string_view text;
  bool child;
  int image;
  NavigationTarget target;
};
// The nodes in order, the tree fully expanded.
inline constexpr std::array<NavigationNode, 6> kNavigationNodes = {{
    {"General Settings", false, kImgGear, NavigationTarget::GeneralPage},
    {"Drives to Monitor", false, kImgDrive, NavigationTarget::DrivesPage},
    {"Filters Manager", false, kImgFilters, NavigationTarget::FiltersHeading},
    {"Extension and Folders", true, kImgFolders, NavigationTarget::FiltersPage},
    {"Events Filters", true, kImgEvents, NavigationTarget::EventsPage},
    {"About", false, kImgAbout, NavigationTarget::About},
}};

// Where the usage bar of a drive row goes: over the third column of the row whose full bounds
// are `row`, with `leadingColumnsWidth` the summed widths of the columns before it: four pixels
// in from the column's left, eight narrower than the column, two down from the row's top and
// four up from its bottom.
struct UsageBarPlace {
  int left, top, width, height;
  bool operator==(const UsageBarPlace&) const = default;
};
UsageBarPlace usageBarPlace(int rowLeft, int rowTop, int rowHeight, int leadingColumnsWidth,
                            int lastColumnWidth);

// The used share of a drive in whole percent, rounded toward zero; 0 for a drive whose total
// size reads 0 (a removable drive without a medium) or less.
int usedPercentage(std::int64_t total, std::int64_t free);

// A drive this full gets a red usage bar (90 % and more); others keep the green one.
constexpr bool isHighUsage(int percent) { return percent > 89; }

// How the settings window looks while a recording runs (locked) or not, in the window's design
// units (pixels at 96 dots per inch): the four lists and the four add and delete buttons are
// disabled, the buttons show their grey pictures, and the drive list, the event checklist and
// the excluded-folder list make room for the record-lock notes below them.
struct RecordLockLook {
  bool listsEnabled;
  bool buttonsEnabled;
  bool notesShown;
  int addImage;
  int deleteImage;
  int driveListHeight;  // also the event checklist's
  int folderListHeight;
  bool operator==(const RecordLockLook&) const = default;
};
RecordLockLook recordLockLook(bool recording, int pageHeight);

// The row that the folder picker's answer `chosen` adds to the excluded folders `existing`:
// the folder ending in exactly one separator of `style`; nothing when the answer is blank (the
// picker was cancelled, or the item has no file-system path) or the folder is listed already,
// compared without ASCII case.
std::optional<std::string> excludedFolderToAdd(std::string_view chosen,
                                               const std::vector<std::string>& existing, PathStyle style);

}  // namespace tw
