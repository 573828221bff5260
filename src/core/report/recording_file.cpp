#include "core/report/recording_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "core/report/jsonl.h"

namespace tw {

bool LineReader::next(std::string& line, std::size_t limit, bool& tooLong) {
  line.clear();
  tooLong = false;
  bool any = false;
  for (;;) {
    if (at == end && !fill()) return any;
    any = true;
    const char* from = buffer + at;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', end - at));
    const std::size_t take = lf != nullptr ? static_cast<std::size_t>(lf - from) : end - at;
    const std::size_t room = limit > line.size() ? limit - line.size() : 0;
    line.append(from, std::min(take, room));
    if (take > room) tooLong = true;
    at += take;
    if (lf != nullptr) {
      ++at;
      return true;
    }
  }
}

bool LineReader::fill() {
  at = 0;
  end = std::fread(buffer, 1, sizeof buffer, file);
  if (end == 0 && std::ferror(file)) throw std::runtime_error(std::strerror(errno));
  taken += end;
  return end > 0;
}

namespace {

// A file name as given (UTF-8) as the file system's path.
std::filesystem::path pathOfName(const std::string& file) { return std::u8string(file.begin(), file.end()); }

}  // namespace

std::FILE* openForReading(const std::string& file) {
  const std::filesystem::path path = pathOfName(file);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw std::runtime_error("cannot read " + file + ": it is a folder");
#ifdef _WIN32
  std::FILE* in = _wfopen(path.c_str(), L"rb");
#else
  std::FILE* in = std::fopen(path.c_str(), "rb");
#endif
  if (in == nullptr) throw std::runtime_error("cannot read " + file + ": " + std::strerror(errno));
  return in;
}

std::optional<Change> changeOfJsonLine(std::string_view line, std::chrono::system_clock::time_point readAt,
                                       std::string& error) {
  error.clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find_first_not_of(" \t") == std::string_view::npos) return std::nullopt;
  auto event = parseJsonEvent(line, error);
  if (!event) return std::nullopt;
  const std::optional<EventKind> kind = eventKindOf(event->event);
  if (!kind) {
    error = "event " + std::to_string(event->event) + " is not an event kind";
    return std::nullopt;
  }
  Change change;
  change.kind = *kind;
  change.path = std::move(event->item1);
  change.newPath = std::move(event->item2);
  change.pid = event->pid;
  change.process = std::move(event->process);
  change.time = event->time.value_or(readAt);
  return change;
}

RecordingFile::RecordingFile(std::string name) : file(std::move(name)) {
  const std::filesystem::path path = pathOfName(file);
  std::error_code ec;
  // A recording opened whole is a file: a pipe, socket or device would hold the opening (and
  // each read) until some other program writes to it. (A replay reads streams as they come.)
  if (const std::filesystem::file_status status = std::filesystem::status(path, ec);
      std::filesystem::exists(status) && !std::filesystem::is_directory(status) &&
      !std::filesystem::is_regular_file(status))
    throw std::runtime_error("cannot read " + file + ": it is not a regular file");
  reader = std::make_unique<LineReader>(openForReading(file));
  const auto bytes = std::filesystem::file_size(path, ec);
  if (!ec) fileSize = bytes;
}

bool RecordingFile::read(std::size_t lines, std::vector<Change>& out) {
  bool tooLong = false;
  std::string error;
  const auto now = std::chrono::system_clock::now();  // the time of lines that carry none
  for (std::size_t i = 0; i < lines; ++i) {
    try {
      if (!reader->next(line, kMaxLineBytes, tooLong)) return false;
    } catch (const std::runtime_error& e) {
      throw std::runtime_error("cannot read " + file + ": " + e.what());
    }
    ++lineNumber;
    std::optional<Change> change;
    if (tooLong) {
      error = "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes";
    } else {
      change = changeOfJsonLine(line, now, error);
    }
    if (change) {
      out.push_back(std::move(*change));
    } else if (!error.empty()) {
      if (badLineCount++ == 0) firstBad = "line " + std::to_string(lineNumber) + ": " + error;
    }
  }
  return true;
}

}  // namespace tw
