#include "gui/main/recording_opener.h"

#include <algorithm>
#include <exception>

namespace tw {

namespace {

// Lines read between two looks at the clock.
constexpr std::size_t kLinesPerRead = 2000;
// How long one step may hold the event loop.
constexpr qint64 kStepMilliseconds = 30;
// The progress dialog's range: the file's bytes scaled to it.
constexpr int kProgressRange = 1000;

}  // namespace

RecordingOpener::RecordingOpener(CaptureViews& views, std::string fileName, QWidget* owner)
    : QObject(owner), views(views), file(std::move(fileName)) {
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
  cancelled = true;
  finish();
}

void RecordingOpener::step() {
  if (done) return;
  QElapsedTimer clock;
  clock.start();
  bool more = true;
  views.beginBatch();
  try {
    while (more && clock.elapsed() < kStepMilliseconds) {
      changes.clear();
      more = file.read(kLinesPerRead, changes);
      for (const Change& change : changes) views.add(change);
      loaded += changes.size();
    }
  } catch (const std::exception& e) {
    failure = e.what();
    more = false;
  }
  views.endBatch();
  if (file.size() > 0) {
    progress->setValue(
        static_cast<int>(file.bytesRead() * kProgressRange / std::max(file.size(), file.bytesRead())));
  }
  if (!more) finish();
}

void RecordingOpener::finish() {
  done = true;
  stepTimer.stop();
  if (progress) progress->hide();
  std::vector<Change>().swap(changes);
  emit finished();
}

}  // namespace tw
