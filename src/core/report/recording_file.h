#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/events/change.h"

namespace tw {

// Reads a file line by line in blocks, without holding more of it than one line.
//
// Thread: any one thread at a time. Owns the file it is given and closes it.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file(file) {}
  ~LineReader() { std::fclose(file); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its LF, at most `limit` bytes of it kept (`tooLong` set when more
  // was there; the rest is read and dropped). False at the end of the input. Throws
  // std::runtime_error on a read error.
  bool next(std::string& line, std::size_t limit, bool& tooLong);
  // Bytes taken from the file so far, lines handed out or not.
  std::uint64_t bytesRead() const { return taken; }

 private:
  bool fill();

  std::FILE* file;
  char buffer[64 * 1024];
  std::size_t at = 0;
  std::size_t end = 0;
  std::uint64_t taken = 0;
};

// Opens a file for reading whatever its name's encoding (UTF-8 bytes on every system); throws
// std::runtime_error with a readable message when it is a folder or cannot be opened.
std::FILE* openForReading(const std::string& file);

// The change of one line of the jsonl form (CR at its end allowed), as a replay delivers it: its
// time, when the line has none, is `readAt`. None for a blank line, with `error` empty; none
// with the reason in `error` for a line that is not an event.
std::optional<Change> changeOfJsonLine(std::string_view line, std::chrono::system_clock::time_point readAt,
                                       std::string& error);

// A recording in the jsonl form read back in steps, so that a front end can show progress
// between two steps and stop at any of them: every event of the file, in order, whatever its
// kind. Lines that are not events (or longer than kMaxLineBytes) are counted, and the first of
// them kept as an example, so that a front end reports them once rather than per line.
//
// Thread: the one that reads (the recording loader's reading thread); opened on any. Owns the
// open file.
class RecordingFile {
 public:
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

  // Throws std::runtime_error with a readable message when the file cannot be read or is not
  // a regular file.
  explicit RecordingFile(std::string file);

  // Appends the changes of up to `lines` more lines to `out`; false once the file is read to its
  // end (nothing more will come). Throws std::runtime_error on a read error.
  bool read(std::size_t lines, std::vector<Change>& out);

  std::uint64_t size() const { return fileSize; }
  std::uint64_t bytesRead() const { return reader->bytesRead(); }
  std::size_t badLines() const { return badLineCount; }
  // The first line that was not an event: "line N: why"; empty when there was none.
  const std::string& firstBadLine() const { return firstBad; }

 private:
  std::string file;
  std::unique_ptr<LineReader> reader;
  std::uint64_t fileSize = 0;
  std::size_t lineNumber = 0;
  std::size_t badLineCount = 0;
  std::string firstBad;
  std::string line;  // kept between steps so that its buffer is reused
};

}  // namespace tw
