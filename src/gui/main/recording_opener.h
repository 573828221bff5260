#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <string>

#include "core/model/capture_views.h"
#include "core/report/recording_loader.h"

namespace tw {

// Runs a RecordingLoader on the event loop: in steps of about 30 ms, each step one batch of the
// views, with a progress dialog whose Cancel stops the load between two steps (what was loaded
// stays).
//
// Thread: the user-interface thread. Owns the loader (and with it the open file), its timer and
// its progress dialog; uses, but does not own, the views, which must outlive it.
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

  std::size_t changesLoaded() const { return loader.changesLoaded(); }
  std::size_t badLines() const { return loader.badLines(); }
  const std::string& firstBadLine() const { return loader.firstBadLine(); }
  bool wasCancelled() const { return loader.wasCancelled(); }
  // The read error that ended the load; empty when none did.
  const std::string& error() const { return loader.error(); }
  // What to tell the user once the load is over.
  std::string summary() const { return loader.summary(); }

 signals:
  void finished();

 private:
  void step();
  void finish();

  RecordingLoader loader;
  QTimer stepTimer;
  QPointer<QProgressDialog> progress;
  bool done = false;
};

}  // namespace tw
