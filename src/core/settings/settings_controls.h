#pragma once

#include <string>

#include "core/recording/capture_options.h"

#include <string_view>
#include <vector>

namespace tw {

// The settings are the state of the settings window's controls; there is no settings object.
// These interfaces are the part of those controls that the core reads and fills: the settings
// file (saveSettings / restoreSettings, addExtensions) and the monitor thread when a recording
// starts. The Qt settings window implements them; tests fake them.
//
// Threads: every call happens on the user-interface thread. The monitor thread reads the
// controls only inside synchronised calls (UiDispatcher::synchronize), which run there too, so
// no lock guards them. The settings window owns the controls; callers hold references only for
// the length of one call.

// The rows of a list control, as far as the settings read them: the caption (first column
// text) of each row.
class CaptionList {
 public:
  virtual ~CaptionList() = default;
  virtual int rowCount() const = 0;
  virtual std::string caption(int row) const = 0;
};

// Each caption in row order followed by CR LF; empty for an empty list.
std::string listViewToText(const CaptionList& list);

// True when some row's caption equals `text` without ASCII case.
bool isInListView(std::string_view text, const CaptionList& list);

// Images of the event checklist rows, in the settings window's image list.
inline constexpr int kEventImageCaptured = 11;     // green tick
inline constexpr int kEventImageNotCaptured = 12;  // small red cross

// A list whose rows carry a check box: the drive list and the event checklist.
class CheckList : public CaptionList {
 public:
  virtual bool isChecked(int row) const = 0;
};

// `lstevents`: one row per event kind, in event-number order.
class EventCheckList : public CheckList {
 public:
  virtual void clearRows() = 0;
  // Adds a row at the end with its check and its image (kEventImageCaptured when checked,
  // kEventImageNotCaptured when not).
  virtual void addRow(const std::string& caption, bool checked, int imageIndex) = 0;
};

// `lstext` and `lstpath`: rows of a caption, an image (a system icon index) and, in the
// extension list, a second column with the file-type description.
class FilterList : public CaptionList {
 public:
  virtual void clearRows() = 0;
  // Adds a row at the end; `detail` is the second column (empty for the one-column path list).
  virtual void addRow(const std::string& caption, const std::string& detail, int imageIndex) = 0;
};

class CheckBox {
 public:
  virtual ~CheckBox() = default;
  virtual bool isChecked() const = 0;
  virtual void setChecked(bool checked) = 0;
};

// The controls of the settings window, by their window names.
class SettingsControls {
 public:
  virtual ~SettingsControls() = default;
  virtual CheckList& ListDrives() = 0;  // caption = drive root; unchecked rows are not watched
  virtual EventCheckList& lstevents() = 0;
  virtual FilterList& lstext() = 0;
  virtual FilterList& lstpath() = 0;
  virtual CheckBox& cautoclean() = 0;
  virtual CheckBox& cAutoCapture() = 0;
  virtual CheckBox& cTray() = 0;
};

// The capture options the controls show now (read on the user-interface thread).
CaptureOptions captureOptionsFrom(SettingsControls& controls);

}  // namespace tw
