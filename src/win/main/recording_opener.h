#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/model/capture_views.h"
#include "core/report/recording_loader.h"
#include "win/controls/top_level_window.h"

namespace tw::win {

// Runs a RecordingLoader on the message loop: in steps of about 30 ms, each on a timer of its
// window, so that input and paints run between two steps; the views hear of the loaded changes
// in batches of about a quarter of a second, and the progress bar moves about ten times a
// second.
// A load that outlasts its first step shows this small window over its owner: a progress bar and
// Cancel (or Escape, or the close box), which stops the load between two steps (what was loaded
// stays).
//
// Thread: the user-interface thread. Owns the loader (and with it the open file) and its native
// window; uses, but does not own, the views, which must outlive it. Its owner must not destroy
// it from within onFinished (post the destruction instead).
class RecordingOpener : public TopLevelWindow {
 public:
  // Throws std::runtime_error with a readable message when the file cannot be read.
  RecordingOpener(CaptureViews& views, std::string file, WindowHandle owner);
  ~RecordingOpener() override;

  // Starts loading; onFinished is called once, when the file is read to its end, cancelled, or a
  // read error ended the load.
  void start();
  void cancel();
  bool isFinished() const { return loader_.isFinished(); }
  const RecordingLoader& loader() const { return loader_; }
  // The progress bar's position, 0..1000.
  int progressPosition() const;

  std::function<void()> onFinished;

 protected:
  void placeControls() override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  void step();
  void finish();

  RecordingLoader loader_;
  WindowHandle owner_;
  WindowHandle text_ = nullptr;
  WindowHandle bar_ = nullptr;
  WindowHandle cancelButton_ = nullptr;
  bool finished_ = false;
  std::chrono::steady_clock::time_point progressShownAt_;  // the bar's last move
};

}  // namespace tw::win
