#pragma once

#include <string>

namespace tw {

// Image indexes of the main window's buttons: the main window reads what a click means from
// them (Record with kImgRecord starts a recording, any other image stops it; Pause with
// kImgResume resumes, any other image pauses).
inline constexpr int kImgResume = 6;
inline constexpr int kImgPause = 7;
inline constexpr int kImgRecord = 8;
inline constexpr int kImgStop = 11;

// The main window's controls that a recording changes. Every method runs on the
// user-interface thread: the monitor thread calls them only inside UiDispatcher::synchronize.
class MonitorControls {
 public:
  virtual ~MonitorControls() = default;
  virtual void setRecordImage(int imageIndex) = 0;
  virtual void setRecordCaption(const std::string& caption) = 0;
  virtual void setPauseVisible(bool visible) = 0;
  virtual void setPauseCaption(const std::string& caption) = 0;
  virtual void setPauseImage(int imageIndex) = 0;
  // Removes every node of the tree / every row of the list.
  virtual void clearTree() = 0;
  virtual void clearList() = 0;
  // Shows an error that ended a recording in the application's general error message box.
  virtual void showError(const std::string& message) = 0;
};

}  // namespace tw
