// tarnwatch-record: the headless recorder.
#include <iostream>
#include <string>
#include <vector>

#include "app/record/options.h"
#include "app/record/recorder.h"
#include "core/events/event_kinds.h"
#include "platform/stop_signals.h"
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "app/record/capture_helper.h"
#include "app/record/journal_stream.h"
#include "platform/linux/linux_change_watching.h"
#include "platform/linux/linux_platform.h"
#endif

#ifndef _WIN32
namespace {

// The capture helper: its own options only, and nothing from the environment, which the user
// who started it controls (pkexec keeps little of it, a direct start as root all of it).
int runCaptureHelper(const std::vector<std::string>& args) {
  ::clearenv();
  std::string error;
  const auto options = tw::record::parseCaptureHelperArgs(args, error);
  if (!options) {
    std::cerr << "tarnwatch-record: " << error << "\n";
    return 2;
  }
  static tw::LinuxPlatform platform;
  tw::LinuxChangeWatching watching(platform);
  return tw::record::runCaptureHelper(*options, watching, STDIN_FILENO, STDOUT_FILENO, std::cerr);
}

}  // namespace
#endif

int main(int argc, char** argv) {
  // Before any thread starts, so that the stop signals reach the recorder's stop path.
  tw::prepareProcessStopSignals();
  // Standard error never waits for standard output: a message must get out even while a write
  // to an output that nobody reads holds standard output.
  std::cerr.tie(nullptr);
#ifndef _WIN32
  // A service whose standard error is the journal: the notices get the warning priority (the
  // "<4>" prefix the journal reads), so that they stand apart from the jsonl lines of standard
  // output (priority info) for whoever reads or ships them.
  std::optional<tw::record::PrefixedLines> journalNotices;
  struct stat standardError {};
  if (const char* journalStream = std::getenv("JOURNAL_STREAM");
      journalStream != nullptr && ::fstat(2, &standardError) == 0 &&
      tw::record::namesJournalStream(journalStream, standardError.st_dev, standardError.st_ino)) {
    journalNotices.emplace(std::cerr, "<4>");
  }
#endif
  tw::eventNames();

  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
#ifndef _WIN32
  if (tw::record::isCaptureHelperCommand(args)) return runCaptureHelper(args);
  // Started by pkexec the recorder runs as root for somebody else: only the helper, whose
  // options cannot write or read files, may run that way.
  if (std::getenv("PKEXEC_UID") != nullptr) {
    std::cerr << "tarnwatch-record: started through pkexec, it runs only as --capture-helper\n";
    return 2;
  }
#endif
  const auto options = tw::record::parseRecordArgs(args, error);
  if (!options) {
    std::cerr << "tarnwatch-record: " << error << "\n\n" << tw::record::usageText();
    return 2;
  }
  if (options->help) {
    std::cout << tw::record::usageText();
    return 0;
  }
  if (options->version) {
    std::cout << "tarnwatch-record " TARNWATCH_VERSION "\n";
    return 0;
  }
  const tw::Platform platform = tw::systemPlatform();
#ifndef _WIN32
  if (options->forceInotify) static_cast<tw::LinuxChangeWatching&>(platform.watching).setForceInotify(true);
#endif
  try {
    return tw::record::runRecorder(*options, platform, tw::processStopSignals(), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "tarnwatch-record: " << e.what() << "\n";
    return 1;
  }
}
