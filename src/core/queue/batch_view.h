#pragma once

#include <cstdint>
#include <string>

namespace tw {

// The main window's steps that the queue thread delivers a batch through. Every method runs on
// the user-interface thread: the queue thread calls them only inside UiDispatcher::synchronize.
class BatchView {
 public:
  virtual ~BatchView() = default;

  // Shows the progress bar with `count` as its maximum and lays the window out again.
  virtual void showBatchProgress(int count) = 0;
  // Adds an event to the tree.
  virtual void addDirectoryFile(const std::string& directoryPath, const std::string& newName,
                                int eventnum) = 0;
  // Adds one row to the list.
  virtual void addListItem(const std::string& item1, const std::string& item2, int eventNum) = 0;
  // Moves the progress bar to the batch index of the event just delivered.
  virtual void setBatchPosition(int i) = 0;
  // Hides the bar, sets its position to 0, lays the window out, expands and repaints the tree.
  virtual void hideBatchProgress() = 0;

  // The process that made the change of the event delivered next (id 0 and an empty name when
  // unknown); called before that event's addDirectoryFile and addListItem. The window shows no
  // process; the headless recorder prints it.
  virtual void setEventProcess(std::int32_t processId, const std::string& processName) {
    (void)processId;
    (void)processName;
  }
};

}  // namespace tw
