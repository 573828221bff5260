#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/result.h"

namespace tw {

// Reading and writing whole files, as the report and the settings need them.
//
// Threads: any method from any thread.
class Files {
 public:
  virtual ~Files() = default;

  // Creates or replaces the file at `path` with `bytes` so that the file is either the old one
  // or the whole new one, never a part: the bytes go to a temporary file beside it, reach the
  // disk, and the temporary file is renamed over the old one. The failure's message names the
  // path and the system's reason.
  virtual Status writeFileAtomically(std::string_view path, std::string_view bytes) = 0;

  // The same for content made while it is written: `produce` is called once and hands each
  // chunk, in order, to the writer it is given, so that the content is never held whole. An
  // exception thrown by `produce` leaves the old file as it was and is thrown on. This default
  // gathers the chunks and writes them at once; a platform that can streams them.
  using ChunkWriter = std::function<void(std::string_view)>;
  virtual Status writeFileAtomicallyFrom(std::string_view path,
                                         const std::function<void(const ChunkWriter&)>& produce) {
    std::string content;
    produce([&content](std::string_view chunk) { content += chunk; });
    return writeFileAtomically(path, content);
  }

  // What became of a request to read a file's content.
  enum class ReadResult {
    Done,        // the whole content went to the sink
    Missing,     // nothing at the path, or not a file (a folder, a device, a dangling link)
    Unreadable,  // a file exists but could not be opened or read to its end
  };
  // Feeds the whole content of the file at `path` (links followed) to `sink`, in order, in
  // chunks of any size; files of any size, 64-bit lengths included. A zero-length file is Done
  // with no chunk. When reading fails part-way the result is Unreadable and the chunks already
  // fed must be thrown away. Never blocks on a FIFO or a device: those are not files.
  virtual ReadResult readFileContent(std::string_view path,
                                     const std::function<void(std::string_view)>& sink) = 0;
  // True when `path` names an existing file (links followed; a folder is not a file).
  virtual bool fileExists(std::string_view path) = 0;
  // The names in the folder at `folder` (links followed; "." and ".." left out), in any order,
  // so that the export can tell which of many nodes of one folder exist with one call: Done
  // with the names; Missing when no folder is there; Unreadable when it cannot be listed, or
  // where a platform has no such listing (then each path is asked).
  virtual ReadResult folderNames(std::string_view folder, std::vector<std::string>& names) {
    (void)folder;
    names.clear();
    return ReadResult::Unreadable;
  }
  // The report text (UTF-8) in the encoding report files are written in: the ANSI code page on
  // Windows (characters it lacks become its default character), UTF-8 unchanged on Linux.
  virtual std::string toReportEncoding(std::string_view utf8) = 0;
};

}  // namespace tw
