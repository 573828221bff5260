#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/events/change.h"
#include "platform/change_watching.h"

namespace tw {

// The states of the recording controller.
enum class RecordingState {
  Idle,       // no recording
  Recording,  // changes are read and delivered
  Paused,     // changes are read and kept; nothing is delivered until the resume
  Stopping,   // asked to stop: what was read before the stop is still being delivered
};

// What a front end shows of a recording. The controller calls it; the front end renders.
//
// Thread: every method is called on the user-interface thread. Implementations may call the
// controller's commands from here, except destroying it.
class RecordingListener {
 public:
  virtual ~RecordingListener() = default;

  virtual void stateChanged(RecordingState state) = 0;

  // The watch is set up; `roots` are the folders watched (none when no drive could be).
  virtual void watchStarted(const std::vector<std::string>& roots) { (void)roots; }
  // Something the user should know about the watch (a root not watched, changes lost).
  virtual void noticeReceived(const WatchNotice& notice) { (void)notice; }

  // A batch is being delivered: `size` changes were taken, before filtering.
  virtual void batchStarted(std::size_t size) { (void)size; }
  // These changes of the batch were just filed into the views (when there are views), in order.
  virtual void changesDelivered(std::span<const Change> changes) { (void)changes; }
  // The batch index of the last change delivered so far.
  virtual void batchProgress(std::size_t position) { (void)position; }
  // The batch is delivered (also when the filter dropped every change of it).
  virtual void batchFinished() {}

  // The recording ended because of an error: a readable message. Called after the state has
  // become Idle.
  virtual void recordingFailed(const std::string& message) { (void)message; }
};

}  // namespace tw
