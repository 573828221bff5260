#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tw::record {

// Whether `journalStream`, the value systemd gives JOURNAL_STREAM ("<device>:<inode>") when a
// service's output goes to the journal, names the stream with this device and inode number.
// Threads: any.
bool namesJournalStream(std::string_view journalStream, std::uint64_t device, std::uint64_t inode);

// An output buffer that hands each whole line to `target` with `prefix` in front, in one write.
// A line cut off at the end is handed over, with its prefix, when the buffer goes.
// Threads: any; the lines of one thread stay whole when written with one insertion each. The
// target must outlive the buffer.
class LinePrefixBuffer : public std::streambuf {
 public:
  LinePrefixBuffer(std::streambuf& target, std::string prefix);
  ~LinePrefixBuffer() override;
  LinePrefixBuffer(const LinePrefixBuffer&) = delete;
  LinePrefixBuffer& operator=(const LinePrefixBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Appends, and hands over every line completed; called with `lock` held.
  void append(std::string_view text);

  std::streambuf& target;
  const std::string prefix;
  std::mutex lock;
  std::string pending;  // the line begun and not yet ended, without its prefix
};

// While it lives, `stream` writes through a LinePrefixBuffer over its own buffer; the stream gets
// its own buffer back when this goes. Construct and destroy on the thread that owns the stream's
// set-up (main()), before and after any other thread writes to it.
class PrefixedLines {
 public:
  PrefixedLines(std::ostream& stream, std::string prefix);
  ~PrefixedLines();
  PrefixedLines(const PrefixedLines&) = delete;
  PrefixedLines& operator=(const PrefixedLines&) = delete;

 private:
  std::ostream& stream;
  std::streambuf* original;
  LinePrefixBuffer buffer;
};

}  // namespace tw::record
