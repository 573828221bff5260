#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/record/options.h"
#include "core/model/capture_views.h"
#include "core/queue/batch_view.h"
#include "core/recording/monitor_controls.h"
#include "platform/platform.h"

namespace tw::record {

// The views of a headless recording: the capture tree and list, as the desktop program keeps
// them (for the report) but without icons, and one printed line per delivered event, flushed
// per batch.
//
// Threads: every method runs on the recorder's user-interface thread (its main thread); the
// counters may be read from any thread.
class RecorderView : public BatchView, public MonitorControls {
 public:
  RecorderView(Platform platform, std::ostream& out, OutputFormat format, PathStyle style);

  void showBatchProgress(int count) override;
  void addDirectoryFile(const std::string& directoryPath, const std::string& newName, int eventnum) override;
  void addListItem(const std::string& item1, const std::string& item2, int eventNum) override;
  void setBatchPosition(int) override {}
  void hideBatchProgress() override;
  void setEventProcess(std::int32_t processId, const std::string& processName) override;

  void setRecordImage(int) override {}
  void setRecordCaption(const std::string&) override {}
  void setPauseVisible(bool) override {}
  void setPauseCaption(const std::string&) override {}
  void setPauseImage(int) override {}
  // Nothing is on screen to clean: the printed lines are the record, and the report shows
  // what was recorded.
  void clearTree() override {}
  void clearList() override {}
  void showError(const std::string& message) override;

  const CaptureViews& views() const { return captureViews; }
  const std::vector<std::string>& errors() const { return errorMessages; }

  std::uint64_t delivered() const { return deliveredCount.load(); }
  std::uint64_t batches() const { return batchCount.load(); }
  std::uint64_t overflows() const { return overflowCount.load(); }

 private:
  Platform platform;
  std::ostream& out;
  OutputFormat format;
  PathStyle style;
  CaptureViews captureViews;
  std::vector<std::string> errorMessages;
  std::int32_t eventPid = 0;  // of the event being delivered
  std::string eventProcess;
  std::atomic<std::uint64_t> deliveredCount{0};
  std::atomic<std::uint64_t> batchCount{0};
  std::atomic<std::uint64_t> overflowCount{0};
};

// One printed line: tsv, the list row's four cells (tsvLine of the presentation); jsonl, one
// JSON object with "time", "event", "action", "item1" and "item2".
// "pid" and "process" follow when the process that made the change is known (pid not 0);
// "process" only when its name is known too.
std::string jsonLine(std::string_view isoTime, int eventNum, std::string_view item1, std::string_view item2,
                     std::int32_t pid = 0, std::string_view process = {});
// The current time, ISO 8601 in UTC with milliseconds: 2026-12-10T01:02:03.456Z.
std::string isoTimeNow();

// A platform that watches the given folders instead of the drives: each one, with its
// separator appended, is a fixed drive.
class FolderDrives : public Drives {
 public:
  FolderDrives(Drives& base, PathStyle style, std::vector<std::string> roots)
      : base(base), style(style), roots(std::move(roots)) {}
  std::vector<DriveInfo> drives() override;
  Result<std::string> fileSystemName(std::string_view root) override { return base.fileSystemName(root); }
  Result<DiskSpace> diskSpace(std::string_view path) override { return base.diskSpace(path); }

 private:
  Drives& base;
  PathStyle style;
  std::vector<std::string> roots;
};

// The whole program, after the options are read: records (or replays) and prints, then writes
// the report when asked. Returns the exit code: 0, or 1 after a runtime failure (said on `err`).
int runRecorder(const RecordOptions& options, Platform platform, std::ostream& out, std::ostream& err);

}  // namespace tw::record
