#include "app/record/journal_stream.h"

#include <charconv>

namespace tw::record {

bool namesJournalStream(std::string_view journalStream, std::uint64_t device, std::uint64_t inode) {
  const auto colon = journalStream.find(':');
  if (colon == std::string_view::npos) return false;
  const auto number = [](std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
  };
  std::uint64_t streamDevice = 0;
  std::uint64_t streamInode = 0;
  return number(journalStream.substr(0, colon), streamDevice) &&
         number(journalStream.substr(colon + 1), streamInode) && streamDevice == device &&
         streamInode == inode;
}

LinePrefixBuffer::LinePrefixBuffer(std::streambuf& target, std::string prefix)
    : target(target), prefix(std::move(prefix)) {}

LinePrefixBuffer::~LinePrefixBuffer() {
  if (pending.empty()) return;
  const std::string line = prefix + pending + "\n";
  target.sputn(line.data(), static_cast<std::streamsize>(line.size()));
  target.pubsync();
}

void LinePrefixBuffer::append(std::string_view text) {
  for (;;) {
    const auto end = text.find('\n');
    if (end == std::string_view::npos) {
      pending.append(text);
      return;
    }
    const std::string line = prefix + pending + std::string(text.substr(0, end + 1));
    pending.clear();
    target.sputn(line.data(), static_cast<std::streamsize>(line.size()));
    text.remove_prefix(end + 1);
  }
}

LinePrefixBuffer::int_type LinePrefixBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  std::lock_guard guard(lock);
  append(std::string_view(&character, 1));
  return c;
}

std::streamsize LinePrefixBuffer::xsputn(const char* text, std::streamsize count) {
  std::lock_guard guard(lock);
  append(std::string_view(text, static_cast<std::size_t>(count)));
  return count;
}

int LinePrefixBuffer::sync() {
  std::lock_guard guard(lock);
  return target.pubsync();
}

PrefixedLines::PrefixedLines(std::ostream& stream, std::string prefix)
    : stream(stream), original(stream.rdbuf()), buffer(*original, std::move(prefix)) {
  stream.rdbuf(&buffer);
}

PrefixedLines::~PrefixedLines() { stream.rdbuf(original); }

}  // namespace tw::record
