#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/record/options.h"
#include "core/events/change.h"
#include "core/text/path_style.h"
#include "platform/change_watching.h"
#include "platform/platform.h"
#include "platform/stop_signals.h"

namespace tw::record {

// Why a report cannot be written at `file`, checked before a recording starts: a folder, a
// device, pipe or socket there (links followed), a folder that does not exist or cannot be
// written to. Empty when it can. Leaves nothing behind.
std::string unwritableReportReason(const std::string& file);

// The folders without those that lie inside another of them (compared as they are, after a
// separator is appended), each ending in the separator, in the order given.
std::vector<std::string> withoutNestedFolders(const std::vector<std::string>& folders, PathStyle style);

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
// the report when asked, watching with the platform's change watching. `stops` are the process's
// stop requests.
// Returns the exit code: 0, or 1 after a runtime failure (said on `err`): no drive could be
// watched, the watch failed, standard output could not be written, the report could not be
// written, or a second stop request (or the end of --stop-timeout) ended it before everything
// read was delivered.
int runRecorder(const RecordOptions& options, Platform platform, StopSignals& stops, std::ostream& out,
                std::ostream& err);

}  // namespace tw::record
