#include "gui/main/recording_opener.h"

#include <chrono>

namespace tw {

namespace {

// How long one step may hold the event loop.
constexpr std::chrono::milliseconds kStepTime{30};
// The progress dialog's range: the file's bytes scaled to it.
constexpr int kProgressRange = 1000;

}  // namespace

RecordingOpener::RecordingOpener(CaptureViews& views, std::string fileName, QWidget* owner)
    : QObject(owner), loader(views, std::move(fileName)) {
  progress = new QProgressDialog(QStringLiteral("Opening the recording..."), QStringLiteral("Cancel"), 0,
                                 kProgressRange, owner);
  progress->setWindowTitle(QStringLiteral("Open Recording"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumDuration(300);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  connect(progress, &QProgressDialog::canceled, this, &RecordingOpener::cancel);
  stepTimer.setInterval(0);
  connect(&stepTimer, &QTimer::timeout, this, &RecordingOpener::step);
}

RecordingOpener::~RecordingOpener() {
  if (progress) progress->deleteLater();
}

void RecordingOpener::start() {
  progress->setValue(0);
  stepTimer.start();
}

void RecordingOpener::cancel() {
  if (done) return;
  loader.cancel();
  finish();
}

void RecordingOpener::step() {
  if (done) return;
  const bool more = loader.step(kStepTime);
  progress->setValue(loader.progress(kProgressRange));
  if (!more) finish();
}

void RecordingOpener::finish() {
  done = true;
  stepTimer.stop();
  if (progress) progress->hide();
  emit finished();
}

}  // namespace tw
