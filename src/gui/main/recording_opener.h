#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/report/recording_file.h"

namespace tw {

// Loads a recording in the jsonl form (as the headless recorder writes it) into the capture
// views, as a replay of it would file its changes: in steps of about 30 ms on the event loop,
// each step one batch of the views, with a progress dialog whose Cancel stops the load between
// two steps (what was loaded stays).
//
// Thread: the user-interface thread. Owns the open file, its timer and its progress dialog; uses,
// but does not own, the views, which must outlive it.
class RecordingOpener : public QObject {
  Q_OBJECT

 public:
  // Throws std::runtime_error with a readable message when the file cannot be read.
  RecordingOpener(CaptureViews& views, std::string file, QWidget* owner);
  ~RecordingOpener() override;

  // Starts loading; `finished` is emitted once, when the file is read to its end, cancelled, or
  // a read error ended the load.
  void start();
  void cancel();
  bool isFinished() const { return done; }

  std::size_t changesLoaded() const { return loaded; }
  std::size_t badLines() const { return file.badLines(); }
  const std::string& firstBadLine() const { return file.firstBadLine(); }
  bool wasCancelled() const { return cancelled; }
  // The read error that ended the load; empty when none did.
  const std::string& error() const { return failure; }

 signals:
  void finished();

 private:
  void step();
  void finish();

  CaptureViews& views;
  RecordingFile file;
  QTimer stepTimer;
  QPointer<QProgressDialog> progress;
  std::vector<Change> changes;  // of one step, kept to reuse its storage
  std::size_t loaded = 0;
  bool cancelled = false;
  bool done = false;
  std::string failure;
};

}  // namespace tw
