#include "app/record/recorder.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <thread>

#include "app/record/jsonl.h"
#include "core/events/event_kinds.h"
#include "core/queue/items_stack.h"
#include "core/queue/ui_dispatcher.h"
#include "core/recording/shell_monitor.h"
#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "core/settings/settings_codec.h"
#include "core/text/text_lines.h"
#include "platform/stop_requests.h"

namespace tw::record {

namespace {

using namespace std::chrono_literals;

// The recorder's user-interface thread is its main thread: a replay runs every step at once.
class ImmediateDispatcher : public UiDispatcher {
 public:
  void synchronize(std::function<void()> step) override { step(); }
};

void appendTsvCell(std::string& line, std::string_view cell) {
  for (const char c : cell) {
    switch (c) {
      case '\t':
        line += "\\t";
        break;
      case '\r':
        line += "\\r";
        break;
      case '\n':
        line += "\\n";
        break;
      default:
        line.push_back(c);
    }
  }
}

// The filters of the options, handed to the queue as a recording does.
void setQueueFilters(TItemsStack& queue, const CaptureOptions& options) {
  if (!options.excludedFolders.empty()) queue.setDirFilters(joinLinesCrLf(options.excludedFolders));
  if (!options.extensions.empty()) queue.setExtFilters(joinLinesCrLf(options.extensions));
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

// A one-line progress display on a terminal, updated four times a second until stopped.
class ProgressLine {
 public:
  ProgressLine(const RecorderView& view, std::function<std::uint64_t()> captured)
      : view(view), captured(std::move(captured)) {
    if (!stderrIsTerminal()) return;
    thread = std::thread([this] {
      std::unique_lock guard(lock);
      while (!done) {
        print();
        wake.wait_for(guard, 250ms, [&] { return done; });
      }
      print();
      std::fputc('\n', stderr);
    });
  }
  ~ProgressLine() {
    {
      std::lock_guard guard(lock);
      done = true;
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
  }

 private:
  void print() {
    std::fprintf(
        stderr, "\r%llu captured, %llu delivered, %llu batches, %llu overflows ",
        static_cast<unsigned long long>(captured()), static_cast<unsigned long long>(view.delivered()),
        static_cast<unsigned long long>(view.batches()), static_cast<unsigned long long>(view.overflows()));
    std::fflush(stderr);
  }

  const RecorderView& view;
  std::function<std::uint64_t()> captured;
  std::mutex lock;
  std::condition_variable wake;
  bool done = false;
  std::thread thread;
};

int writeReport(const RecordOptions& options, Platform platform, const RecorderView& view, PathStyle style,
                std::ostream& err) {
  if (!options.exportFile) return 0;
  const std::string text = buildExportReport(mainWindowCaption(platform.environment), view.tree(),
                                             view.list(), platform.files, style);
  std::string error;
  if (!writeReportFile(platform.files, *options.exportFile, text, &error)) {
    err << "tarnwatch-record: cannot write the report " << *options.exportFile;
    if (!error.empty()) err << ": " << error;
    err << "\n";
    return 1;
  }
  return 0;
}

int replay(const RecordOptions& options, Platform platform, const CaptureOptions& capture, std::ostream& out,
           std::ostream& err) {
  std::ifstream in(std::filesystem::path(std::u8string(options.replay->begin(), options.replay->end())),
                   std::ios::binary);
  if (!in) {
    err << "tarnwatch-record: cannot read " << *options.replay << "\n";
    return 1;
  }
  const PathStyle style = options.pathStyle.value_or(platform.environment.pathStyle());
  RecorderView view(platform, out, options.format, style);
  TItemsStack queue;
  setQueueFilters(queue, capture);
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string error;
    const auto event = parseJsonEvent(line, error);
    if (event && (event->event < 0 || event->event >= kEventCount)) {
      error = "event " + std::to_string(event->event) + " is not an event kind";
    }
    if (!error.empty()) {
      err << "tarnwatch-record: " << *options.replay << ":" << number << ": " << error << "\n";
      continue;
    }
    if (capture.kinds.test(static_cast<std::size_t>(event->event)))
      queue.addItem(event->item1, event->item2, event->event, event->pid, event->process);
  }
  ImmediateDispatcher ui;
  queue.wakeUp(ui, view, style);
  out.flush();
  return writeReport(options, platform, view, style, err);
}

int record(const RecordOptions& options, Platform platform, const CaptureOptions& capture, std::ostream& out,
           std::ostream& err) {
  const PathStyle style = platform.environment.pathStyle();
  RecorderView view(platform, out, options.format, style);
  QueuedUiDispatcher ui;
  const auto monitor = TShellMonitor::start(MonitorContext{platform, ui, view, capture, view});
  int exitCode = 0;
  std::string failure;

  std::thread control([&] {
    while (monitor->registeredCount() < 0 && !monitor->hasEnded()) std::this_thread::sleep_for(10ms);
    if (monitor->registeredCount() <= 0) {
      failure = "no drive could be watched";
    } else {
      std::optional<std::chrono::milliseconds> limit;
      if (options.duration)
        limit = std::chrono::milliseconds(static_cast<long long>(*options.duration * 1000.0));
      waitForStopRequest(limit);
      // Deliver what the queue holds before stopping: a recording that is stopped drops the
      // events it has not delivered yet, and the printed record should miss nothing.
      const auto deadline = std::chrono::steady_clock::now() + 3s;
      while (monitor->hasQueuedEvents() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
      }
    }
    try {
      ui.synchronize([&] { monitor->stop(); });
    } catch (...) {
      monitor->stop();
    }
    if (!monitor->waitForEnd(30s)) failure = "the recording did not end";
    ui.quit();
  });
  {
    ProgressLine progress(view, [&] { return monitor->capturedCount(); });
    ui.exec();
    control.join();
  }
  out.flush();
  for (const auto& message : view.errors()) err << "tarnwatch-record: " << message << "\n";
  if (!failure.empty()) {
    err << "tarnwatch-record: " << failure << "\n";
    exitCode = 1;
  } else if (!view.errors().empty()) {
    exitCode = 1;
  }
  const int reportCode = writeReport(options, platform, view, style, err);
  return exitCode != 0 ? exitCode : reportCode;
}

}  // namespace

RecorderView::RecorderView(Platform platform, std::ostream& out, OutputFormat format, PathStyle style)
    : platform(platform),
      out(out),
      format(format),
      style(style),
      captureTree(platform.environment, platform.icons, &pool),
      captureList(platform.environment, platform.icons, &pool) {}

void RecorderView::showBatchProgress(int) { ++batchCount; }

void RecorderView::addDirectoryFile(const std::string& directoryPath, const std::string& newName,
                                    int eventnum) {
  captureTree.addDirectoryFile(directoryPath, newName, eventnum, style);
}

void RecorderView::addListItem(const std::string& item1, const std::string& item2, int eventNum) {
  captureList.addListItem(item1, item2, eventNum, style);
  ++deliveredCount;
  if (eventNum == evUpdateDir) ++overflowCount;
  if (format == OutputFormat::Tsv) {
    out << tsvLine(captureList, captureList.rowCount() - 1) << '\n';
  } else {
    out << jsonLine(isoTimeNow(), eventNum, item1, item2, eventPid, eventProcess) << '\n';
  }
}

void RecorderView::hideBatchProgress() { out.flush(); }

void RecorderView::setEventProcess(std::int32_t processId, const std::string& processName) {
  eventPid = processId;
  eventProcess = processName;
}

void RecorderView::showError(const std::string& message) { errorMessages.push_back(message); }

std::string tsvLine(const CaptureList& list, int row) {
  std::string line;
  for (int column = 0; column < kListColumnCount; ++column) {
    if (column > 0) line.push_back('\t');
    appendTsvCell(line, list.cell(row, column));
  }
  return line;
}

std::string jsonLine(std::string_view isoTime, int eventNum, std::string_view item1, std::string_view item2,
                     std::int32_t pid, std::string_view process) {
  std::string line = "{\"time\":" + jsonString(isoTime) + ",\"event\":" + std::to_string(eventNum) +
                     ",\"action\":" + jsonString(getEventName(eventNum)) + ",\"item1\":" + jsonString(item1) +
                     ",\"item2\":" + jsonString(item2);
  if (pid != 0) {
    line += ",\"pid\":" + std::to_string(pid);
    if (!process.empty()) line += ",\"process\":" + jsonString(process);
  }
  line += "}";
  return line;
}

std::string isoTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

std::vector<DriveInfo> FolderDrives::drives() {
  std::vector<DriveInfo> result;
  for (const auto& root : roots) result.push_back({withTrailingSeparator(root, style), DriveType::Fixed});
  return result;
}

int runRecorder(const RecordOptions& options, Platform platform, std::ostream& out, std::ostream& err) {
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
    folders = std::make_unique<FolderDrives>(platform.drives, platform.environment.pathStyle(), roots);
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
  const std::string config = options.config.value_or(settingsFilePath(active.environment));
  const CaptureOptions capture = readCaptureOptions(active.profiles, config);

  return options.replay ? replay(options, active, capture, out, err)
                        : record(options, active, capture, out, err);
}

}  // namespace tw::record
