#include "app/record/recorder.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>

#include "app/record/replay.h"
#include "core/events/event_kinds.h"
#include "core/model/capture_views.h"
#include "core/model/path_parts.h"
#include "core/model/presentation.h"
#include "core/recording/posted_work_loop.h"
#include "core/recording/recording_controller.h"
#include "core/report/export_report.h"
#include "core/report/jsonl.h"
#include "core/report/main_caption.h"
#include "core/settings/settings_codec.h"
#include "core/text/text_lines.h"
#include "platform/stop_requests.h"

namespace tw::record {

namespace {

using namespace std::chrono_literals;
using SteadyTime = std::chrono::steady_clock::time_point;

// A limit longer than this is waited for as if there were none (it cannot end in a lifetime,
// and the clock's arithmetic stays clear of overflow).
constexpr auto kNoLimitBeyond = std::chrono::hours(24 * 365 * 100);

// How long the thread that waits for stop requests gives the user-interface thread to come back
// when the recording is ended early; then it ends the process itself (that thread is stuck in a
// write that does not return).
constexpr auto kGraceForTheUserInterface = 2s;

std::optional<SteadyTime> deadlineAfter(std::optional<std::chrono::milliseconds> wait) {
  if (!wait || *wait > kNoLimitBeyond) return std::nullopt;
  return std::chrono::steady_clock::now() + *wait;
}

// Why the settings file that --config names cannot be read; empty when it can. Only a regular
// file that can be read to its end is a settings file: a folder, a FIFO (which would block the
// reader) or a device is not.
std::string unreadableConfigReason(Files& files, const std::string& path) {
  const Files::ReadResult read = files.readFileContent(path, [](std::string_view) {});
  if (read == Files::ReadResult::Done) return {};
  std::error_code ec;
  const auto status =
      std::filesystem::status(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
  if (read == Files::ReadResult::Unreadable) return "it cannot be read (no permission, or a read error)";
  if (status.type() == std::filesystem::file_type::not_found) return "no such file";
  if (status.type() == std::filesystem::file_type::directory) return "it is a folder";
  if (status.type() == std::filesystem::file_type::fifo) return "it is a FIFO, not a file";
  return "it is not a regular file";
}

// How a run ends, shared by the user-interface thread (main) and the thread that waits for stop
// requests.
class Ending {
 public:
  Ending(StopSignals& stops, PostedWorkLoop& ui) : stops(stops), ui(ui) {}

  // The recording is asked to stop; true for the first ask.
  bool askStop() { return !stopAsked.exchange(true); }
  bool stopIsAsked() const { return stopAsked.load(); }

  // The recording is over (the user-interface thread, at Idle).
  void recordingOver() {
    over.store(true);
    stops.wake();
    ui.quit();
  }
  bool isOver() const { return over.load(); }

  // The user-interface thread is back from its loop.
  void userInterfaceBack() {
    std::lock_guard guard(lock);
    back = true;
    backChanged.notify_all();
  }
  bool waitForTheUserInterface(std::chrono::milliseconds limit) {
    std::unique_lock guard(lock);
    return backChanged.wait_for(guard, limit, [&] { return back; });
  }

  // Ends the run without delivering the rest; says, once, how much was read and not delivered.
  void endEarly() {
    early.store(true);
    ui.quitNow();
  }
  bool endedEarly() const { return early.load(); }
  void tellUndelivered(const RecordingController& controller, std::ostream& err) {
    if (told.exchange(true)) return;
    err << "tarnwatch-record: stopped before the end: " << controller.changesUndelivered()
        << " changes read were not delivered\n";
    err.flush();
  }

  StopSignals& stops;
  PostedWorkLoop& ui;

 private:
  std::atomic<bool> stopAsked{false};
  std::atomic<bool> over{false};
  std::atomic<bool> early{false};
  std::atomic<bool> told{false};
  std::mutex lock;
  std::condition_variable backChanged;
  bool back = false;  // guarded by lock
};

// What the recorder shows of a recording: every delivered change printed as it is delivered,
// flushed once per batch; notices on standard error. It stops the recording itself when no
// drive can be watched, when a replay has been read, and when standard output cannot be written.
//
// Thread: the user-interface thread (the recorder's main thread); the counters may be read from
// any thread.
class Printer : public RecordingListener {
 public:
  Printer(std::ostream& out, std::ostream& err, OutputFormat format, PathStyle style, Ending& ending)
      : out(out), err(err), format(format), style(style), ending(ending) {}
  void attach(RecordingController& recording) { controller = &recording; }

  void stateChanged(RecordingState state) override {
    if (state == RecordingState::Idle) ending.recordingOver();
  }
  void watchStarted(const std::vector<std::string>& roots) override {
    if (roots.empty()) {
      failures.push_back("no drive could be watched");
      stopHere();
    }
  }
  void noticeReceived(const WatchNotice& notice) override {
    err << "tarnwatch-record: " << (notice.root.empty() ? std::string() : notice.root + ": ")
        << notice.message << "\n";
  }
  void batchStarted(std::size_t) override { ++batchCount; }
  void changesDelivered(std::span<const Change> changes) override {
    errno = 0;
    for (const Change& change : changes) {
      if (change.kind == EventKind::FolderNeedsRescan) ++overflowCount;
      if (outputFailure.empty())
        out << (format == OutputFormat::Tsv ? tsvLine(change, style) : jsonLine(change)) << '\n';
    }
    checkOutput();
  }
  void batchFinished() override {
    errno = 0;
    if (outputFailure.empty()) out.flush();
    checkOutput();
  }
  void recordingFailed(const std::string& message) override { failures.push_back(message); }

  // Stops the recording from the user-interface thread.
  void stopHere() {
    if (ending.askStop()) controller->stop();
    ending.stops.wake();
  }

  std::vector<std::string> failures;
  std::string outputFailure;
  std::atomic<std::uint64_t> batchCount{0};
  std::atomic<std::uint64_t> overflowCount{0};

 private:
  void checkOutput() {
    if (!outputFailure.empty() || out) return;
    const int error = errno;
    outputFailure = "cannot write to standard output";
    if (error != 0) outputFailure += ": " + std::generic_category().message(error);
    stopHere();
  }

  std::ostream& out;
  std::ostream& err;
  OutputFormat format;
  PathStyle style;
  Ending& ending;
  RecordingController* controller = nullptr;
};

// A one-line progress display on a terminal, updated four times a second until it goes.
class ProgressLine {
 public:
  ProgressLine(const RecordingController& controller, const Printer& printer) {
    if (!stderrIsTerminal()) return;
    thread = std::jthread([&controller, &printer](const std::stop_token& stop) {
      std::mutex lock;
      std::condition_variable_any wake;
      std::unique_lock guard(lock);
      while (!stop.stop_requested()) {
        print(controller, printer);
        wake.wait_for(guard, stop, 250ms, [] { return false; });
      }
      print(controller, printer);
      std::fputc('\n', stderr);
    });
  }

 private:
  static void print(const RecordingController& controller, const Printer& printer) {
    std::fprintf(stderr, "\r%llu captured, %llu delivered, %llu batches, %llu overflows ",
                 static_cast<unsigned long long>(controller.changesRead()),
                 static_cast<unsigned long long>(controller.changesDelivered()),
                 static_cast<unsigned long long>(printer.batchCount.load()),
                 static_cast<unsigned long long>(printer.overflowCount.load()));
    std::fflush(stderr);
  }

  std::jthread thread;
};

// The thread that waits for stop requests: the first request (or the end of --duration) stops
// the recording; once it is stopping, a second request (or the end of --stop-timeout) ends the
// run without the rest.
void waitForTheEnd(const RecordOptions& options, Ending& ending, PostedWorkLoop& ui,
                   RecordingController& controller, std::ostream& err) {
  std::optional<SteadyTime> deadline = deadlineAfter(options.duration);
  bool stopping = false;
  for (;;) {
    const StopSignals::Event event = ending.stops.next(deadline);
    if (ending.isOver()) return;
    if (!stopping) {
      if (event == StopSignals::Event::Woken && !ending.stopIsAsked()) continue;
      stopping = true;
      if (ending.askStop()) ui.post([&controller] { controller.stop(); });
      deadline = deadlineAfter(options.stopTimeout);
      continue;
    }
    if (event == StopSignals::Event::Woken) continue;
    ending.endEarly();
    if (!ending.waitForTheUserInterface(kGraceForTheUserInterface)) {
      // The user-interface thread is stuck in a write that does not return: say it here and end.
      ending.tellUndelivered(controller, err);
      std::_Exit(1);
    }
    return;
  }
}

// Thrown by InterruptibleFiles once a stop is requested.
struct ExportInterrupted {};

// The files the export reads, while a stop may be requested: a request makes the next read
// throw, so that an export of many large files ends promptly. Any thread may set `interrupted`.
class InterruptibleFiles : public Files {
 public:
  InterruptibleFiles(Files& files, const std::atomic<bool>& interrupted)
      : files(files), interrupted(interrupted) {}

  Status writeFileAtomically(std::string_view path, std::string_view bytes) override {
    return files.writeFileAtomically(path, bytes);
  }
  Status writeFileAtomicallyFrom(std::string_view path,
                                 const std::function<void(const ChunkWriter&)>& produce) override {
    return files.writeFileAtomicallyFrom(path, produce);
  }
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override {
    if (interrupted) throw ExportInterrupted{};
    return files.readFileContent(path, [&](std::string_view bytes) {
      if (interrupted) throw ExportInterrupted{};
      sink(bytes);
    });
  }
  bool fileExists(std::string_view path) override { return files.fileExists(path); }
  ReadResult folderNames(std::string_view folder, std::vector<std::string>& names) override {
    return files.folderNames(folder, names);
  }
  std::string toReportEncoding(std::string_view utf8) override { return files.toReportEncoding(utf8); }

 private:
  Files& files;
  const std::atomic<bool>& interrupted;
};

// Writes the report as it is built, while listening for a stop request: one ends the export at
// once and leaves the report file as it was.
int writeReport(const RecordOptions& options, Platform platform, const CaptureViews* views,
                StopSignals& stops, std::ostream& err) {
  if (!options.exportFile || views == nullptr) return 0;
  std::atomic<bool> interrupted{false};
  InterruptibleFiles files(platform.files, interrupted);
  bool written = false;
  std::string error;
  {
    std::atomic<bool> done{false};
    std::jthread listener([&] {
      while (!done) {
        if (stops.next(std::nullopt) == StopSignals::Event::Stop) {
          interrupted = true;
          return;
        }
      }
    });
    try {
      written = exportReportFile(files, *options.exportFile, mainWindowCaption(platform.environment), *views,
                                 &error);
    } catch (const ExportInterrupted&) {
      written = false;
    }
    done = true;
    stops.wake();
  }
  if (!written && interrupted) {
    err << "tarnwatch-record: the export was interrupted: " << *options.exportFile << " was not written\n";
    return 1;
  }
  if (!written) {
    err << "tarnwatch-record: cannot write the report " << *options.exportFile;
    if (!error.empty()) err << ": " << error;
    err << "\n";
    return 1;
  }
  return 0;
}

// One run: the recording (or the replay) from its start to its end, printed, and the report.
int record(const RecordOptions& options, Platform platform, CaptureOptions capture, StopSignals& stops,
           std::ostream& out, std::ostream& err) {
  // Nothing is on screen to clean: the printed lines are the record, and the report shows what
  // was recorded.
  capture.cleanOnStop = false;
  const PathStyle style = options.pathStyle.value_or(platform.environment.pathStyle());

  PostedWorkLoop ui;
  Ending ending(stops, ui);
  Printer printer(out, err, options.format, style, ending);
  std::unique_ptr<ReplayWatching> replay;
  if (options.replay) {
    // A replay ends by itself once the file has been read.
    replay = std::make_unique<ReplayWatching>(*options.replay, [&] { ui.post([&] { printer.stopHere(); }); });
  }
  // The tree and the list are kept only for the report.
  std::unique_ptr<CaptureViews> views;
  if (options.exportFile) views = std::make_unique<CaptureViews>(platform.environment, nullptr, style);
  {
    RecordingController controller(RecordingServices{replay ? *replay : platform.watching, platform.drives,
                                                     platform.files, ui, printer, views.get(), style});
    printer.attach(controller);
    controller.record(capture);
    ProgressLine progress(controller, printer);
    std::jthread control([&] { waitForTheEnd(options, ending, ui, controller, err); });
    ui.run();
    ending.userInterfaceBack();
    if (ending.endedEarly()) ending.tellUndelivered(controller, err);
  }
  out.flush();
  int code = 0;
  for (const auto& failure : printer.failures) {
    err << "tarnwatch-record: " << failure << "\n";
    code = 1;
  }
  if (!printer.outputFailure.empty()) {
    err << "tarnwatch-record: " << printer.outputFailure << "\n";
    code = 1;
  }
  if (ending.endedEarly()) code = 1;
  const int reportCode = writeReport(options, platform, views.get(), stops, err);
  return code != 0 ? code : reportCode;
}

}  // namespace

std::vector<std::string> withoutNestedFolders(const std::vector<std::string>& folders, PathStyle style) {
  std::vector<std::string> roots;
  roots.reserve(folders.size());
  for (const std::string& folder : folders) roots.push_back(withTrailingSeparator(folder, style));
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < roots.size(); ++i) {
    bool inside = false;
    for (std::size_t j = 0; j < roots.size() && !inside; ++j) {
      if (j == i || !roots[i].starts_with(roots[j])) continue;
      // Inside another one, or the same as an earlier one.
      inside = roots[j].size() < roots[i].size() || j < i;
    }
    if (!inside) kept.push_back(roots[i]);
  }
  return kept;
}

std::vector<DriveInfo> FolderDrives::drives() {
  std::vector<DriveInfo> result;
  for (const auto& root : roots) result.push_back({withTrailingSeparator(root, style), DriveType::Fixed});
  return result;
}

std::string unwritableReportReason(const std::string& file) {
  namespace fs = std::filesystem;
  const fs::path path(std::u8string(file.begin(), file.end()));
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);  // links followed
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return "it is a folder";
    if (!fs::is_regular_file(status)) return "it is not a regular file (a device, a pipe or a socket)";
  }
  fs::path folder = fs::absolute(path, ec).parent_path();
  if (ec || !fs::is_directory(folder, ec)) return "its folder does not exist";
  // Writable where it matters: a file can be made in the folder (the report replaces the old
  // one through a file beside it).
  const fs::path probe =
      folder /
      (".tarnwatch-probe-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  {
    std::ofstream made(probe, std::ios::binary);
    if (!made) return "its folder cannot be written to";
  }
  fs::remove(probe, ec);
  return {};
}

int runRecorder(const RecordOptions& options, Platform platform, StopSignals& stops, std::ostream& out,
                std::ostream& err) {
  std::unique_ptr<FolderDrives> folders;
  if (!options.drives.empty()) {
    std::vector<std::string> roots;
    for (const auto& drive : options.drives) {
      std::error_code ec;
      const std::filesystem::path path(std::u8string(drive.begin(), drive.end()));
      const auto absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
      if (ec || !std::filesystem::is_directory(absolute, ec)) {
        err << "tarnwatch-record: cannot watch " << drive << ": no such folder\n";
        return 1;
      }
      const std::u8string text = absolute.u8string();
      roots.emplace_back(text.begin(), text.end());
    }
    const PathStyle style = platform.environment.pathStyle();
    folders = std::make_unique<FolderDrives>(platform.drives, style, withoutNestedFolders(roots, style));
  }
  const Platform active = folders ? platform.withDrives(*folders) : platform;

  // A file named on the command line must be there: a typing error must not record everything
  // silently. Without --config, a missing file beside the executable gives the defaults.
  if (options.config) {
    const std::string reason = unreadableConfigReason(active.files, *options.config);
    if (!reason.empty()) {
      err << "tarnwatch-record: cannot read the settings file " << *options.config << ": " << reason << "\n";
      return 1;
    }
  }
  // The report's place is checked before the recording starts, not after hours of it.
  if (options.exportFile) {
    const std::string reason = unwritableReportReason(*options.exportFile);
    if (!reason.empty()) {
      err << "tarnwatch-record: cannot write the report " << *options.exportFile << ": " << reason << "\n";
      return 1;
    }
  }
  const std::string config = options.config.value_or(settingsFilePath(active.environment));
  return record(options, active, readCaptureOptions(active.profiles, config), stops, out, err);
}

}  // namespace tw::record
