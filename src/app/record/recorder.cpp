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
#include "core/settings/plain_settings_controls.h"
#include "core/settings/settings_file.h"
#include "core/text/text_lines.h"
#include "platform/stop_requests.h"

namespace tw::record {

namespace {

using namespace std::chrono_literals;

// A delivered event as the capture views file it; it happened now, as far as the recorder knows.
Change deliveredChange(const std::string& path, const std::string& newPath, int eventNum) {
  Change change;
  change.kind = eventKindOf(eventNum).value_or(EventKind::Association);
  change.path = path;
  change.newPath = newPath;
  change.time = std::chrono::system_clock::now();
  return change;
}

// The recorder's user-interface thread is its main thread: a replay runs every step at once.
class ImmediateDispatcher : public UiDispatcher {
 public:
  void synchronize(std::function<void()> step) override { step(); }
};

// The filters of the settings, handed to the queue as a recording does.
void setQueueFilters(TItemsStack& queue, SettingsControls& settings) {
  if (settings.lstpath().rowCount() > 0) queue.setDirFilters(listViewToText(settings.lstpath()));
  if (settings.lstext().rowCount() > 0) queue.setExtFilters(listViewToText(settings.lstext()));
}

// True when the settings choose the event kind: a row that is not checked leaves it out,
// kinds beyond the last row are in (as a registration's mask is built).
bool kindChosen(SettingsControls& settings, int eventNum) {
  EventCheckList& events = settings.lstevents();
  return eventNum >= events.rowCount() || events.isChecked(eventNum);
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

int writeReport(const RecordOptions& options, Platform platform, const RecorderView& view,
                std::ostream& err) {
  if (!options.exportFile) return 0;
  const std::string text =
      buildExportReport(mainWindowCaption(platform.environment), view.views(), platform.files);
  std::string error;
  if (!writeReportFile(platform.files, *options.exportFile, text, &error)) {
    err << "tarnwatch-record: cannot write the report " << *options.exportFile;
    if (!error.empty()) err << ": " << error;
    err << "\n";
    return 1;
  }
  return 0;
}

int replay(const RecordOptions& options, Platform platform, SettingsControls& settings, std::ostream& out,
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
  setQueueFilters(queue, settings);
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
    if (kindChosen(settings, event->event))
      queue.addItem(event->item1, event->item2, event->event, event->pid, event->process);
  }
  ImmediateDispatcher ui;
  queue.wakeUp(ui, view, style);
  out.flush();
  return writeReport(options, platform, view, err);
}

int record(const RecordOptions& options, Platform platform, SettingsControls& settings, std::ostream& out,
           std::ostream& err) {
  const PathStyle style = platform.environment.pathStyle();
  RecorderView view(platform, out, options.format, style);
  QueuedUiDispatcher ui;
  const auto monitor = TShellMonitor::start(MonitorContext{platform, ui, view, settings, view});
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
  const int reportCode = writeReport(options, platform, view, err);
  return exitCode != 0 ? exitCode : reportCode;
}

}  // namespace

RecorderView::RecorderView(Platform platform, std::ostream& out, OutputFormat format, PathStyle style)
    : platform(platform),
      out(out),
      format(format),
      style(style),
      captureViews(platform.environment, nullptr, style) {}

void RecorderView::showBatchProgress(int) { ++batchCount; }

void RecorderView::addDirectoryFile(const std::string& directoryPath, const std::string& newName,
                                    int eventnum) {
  captureViews.tree().add(deliveredChange(directoryPath, newName, eventnum));
}

void RecorderView::addListItem(const std::string& item1, const std::string& item2, int eventNum) {
  const Change change = deliveredChange(item1, item2, eventNum);
  captureViews.list().add(change);
  ++deliveredCount;
  if (eventNum == evUpdateDir) ++overflowCount;
  if (format == OutputFormat::Tsv) {
    out << tsvLine(change, style) << '\n';
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

  PlainSettingsControls settings;
  const std::string config = options.config.value_or(settingsFilePath(active.environment));
  restoreSettings(settings, active.profiles, active.icons, config);

  return options.replay ? replay(options, active, settings, out, err)
                        : record(options, active, settings, out, err);
}

}  // namespace tw::record
