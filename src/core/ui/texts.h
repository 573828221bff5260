#pragma once

#include <string_view>

namespace tw {

// The texts both desktop front ends show in their status line, message boxes, confirmation and
// notification-area balloon, each in one place. UTF-8; the front ends convert them for display.

// The status text of the main window.
inline constexpr std::string_view kStatusIdle = "idle.";
inline constexpr std::string_view kStatusLiveCapture = "Live Capture.";

// The export's two messages, titled kExportTitle; the first is followed by the file's name.
inline constexpr std::string_view kExportTitle = "Exportation";
inline constexpr std::string_view kExportDoneText = "Data successfully exported to \r\n";
inline constexpr std::string_view kExportFailedText =
    "We were not able to export data to the location you chose. Are you sure you have access to this "
    "location from your administrator?";

// The confirmation of "Exit Program", titled with the main window's caption.
inline constexpr std::string_view kCloseInstruction = "Close Program";
inline constexpr std::string_view kCloseContent =
    "This action will close the process and all its background tasks. Are you sure?";

// The notification-area icon: its tip, and the balloon shown when the window hides to it.
inline constexpr std::string_view kTrayTip = "Tarnwatch";
inline constexpr std::string_view kTrayBalloonTitle = "Working in background";
inline constexpr std::string_view kTrayBalloonText =
    "Tarnwatch is still running in background. Click on this icon to restore application.";

// The title of the general error message box (an error of a command, a refused settings save).
inline constexpr std::string_view kErrorTitle = "Tarnwatch";

// The settings window's delete buttons: nothing selected, and the question before removing.
inline constexpr std::string_view kNoSelectionTitle = "No Selected Items";
inline constexpr std::string_view kNoSelectionText = "You must at least select one item to use this!";
inline constexpr std::string_view kRemoveTitle = "Remove extensions";
inline constexpr std::string_view kRemoveText = "You are about to remove extensions filter(s), Are you sure?";

// The addresses behind "Like us !" and the about box's three buttons (the web address itself is
// the report's kMakerWebPage).
inline constexpr const char* kMakerFacebookPage = "https://velvane.example/social/facebook";
inline constexpr const char* kMakerTwitterPage = "https://velvane.example/social/twitter";
inline constexpr const char* kMakerGooglePlusPage = "https://velvane.example/social/googleplus";

// The title of the folder picker that chooses a folder to exclude.
inline constexpr std::string_view kExcludeFolderTitle = "Select path to exclude from capture";

// The context menu of the capture tree and list. "&" marks each command's access key.
inline constexpr std::string_view kMenuOpenFolder = "&Open Folder";
inline constexpr std::string_view kMenuOpenContainingFolder = "&Open Containing Folder";
inline constexpr std::string_view kMenuCopyPath = "&Copy Path";
inline constexpr std::string_view kMenuExcludeFolder = "Exclude This &Folder";
inline constexpr std::string_view kMenuExcludeExtension = "Exclude This &Extension";
// The tool tip of the two exclusions while a recording runs.
inline constexpr std::string_view kSettingsLockedReason =
    "The settings cannot change while a recording runs; stop it first.";

// The tool tip of an event kind that this system never reports (greyed in the checklist).
inline constexpr std::string_view kKindNeverReported =
    "This system never reports this kind of change; the choice is kept but has no effect here.";

}  // namespace tw
