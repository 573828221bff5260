#include "platform/linux/capture_helper_stream.h"

#include <cstring>

namespace tw::linuxfs {

namespace {

void putU32(std::uint32_t value, std::string& out) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putU64(std::uint64_t value, std::string& out) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putString(std::string_view text, std::string& out) {
  putU32(static_cast<std::uint32_t>(text.size()), out);
  out.append(text);
}

// Writes the frame header with a length filled in once the payload is appended.
class Frame {
 public:
  Frame(char type, std::string& out) : out(out) {
    out.push_back(type);
    lengthAt = out.size();
    putU32(0, out);
  }
  ~Frame() {
    const auto length = static_cast<std::uint32_t>(out.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i) out[lengthAt + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

 private:
  std::string& out;
  std::size_t lengthAt = 0;
};

// Reads the fields of one payload; any read past its end makes it bad.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view payload) : rest(payload) {}
  std::uint64_t number(int bytes) {
    if (rest.size() < static_cast<std::size_t>(bytes)) {
      bad = true;
      return 0;
    }
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{static_cast<unsigned char>(rest[i])} << (8 * i);
    rest.remove_prefix(static_cast<std::size_t>(bytes));
    return value;
  }
  std::string text() {
    const auto size = static_cast<std::size_t>(number(4));
    if (bad || rest.size() < size) {
      bad = true;
      return {};
    }
    std::string value(rest.substr(0, size));
    rest.remove_prefix(size);
    return value;
  }
  // Every field was there and nothing is left over.
  bool whole() const { return !bad && rest.empty(); }
  bool failed() const { return bad; }

 private:
  std::string_view rest;
  bool bad = false;
};

}  // namespace

std::vector<std::string> captureHelperArgs(const WatchRequest& request) {
  std::vector<std::string> args{"--capture-helper"};
  for (const std::string& root : request.roots) {
    args.emplace_back("--drive");
    args.push_back(root);
  }
  args.emplace_back("--kinds");
  args.push_back(std::to_string(request.kinds.to_ulong()));
  return args;
}

void encodeHelperBatch(const ChangeBatch& batch, std::string& out) {
  for (const Change& c : batch.changes) {
    Frame frame('C', out);
    out.push_back(static_cast<char>(eventNumber(c.kind)));
    out.push_back(c.folder ? 1 : 0);
    putU32(static_cast<std::uint32_t>(c.pid), out);
    putU64(static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(c.time.time_since_epoch()).count()),
           out);
    putString(c.path, out);
    putString(c.newPath, out);
    putString(c.process, out);
  }
  for (const WatchNotice& n : batch.notices) {
    Frame frame('N', out);
    putString(n.root, out);
    putString(n.message, out);
  }
}

void encodeHelperRoots(char type, const std::vector<std::string>& roots, std::string& out) {
  Frame frame(type, out);
  putU32(static_cast<std::uint32_t>(roots.size()), out);
  for (const std::string& root : roots) putString(root, out);
}

std::string HelperStreamDecoder::feed(std::string_view bytes, Decoded& into) {
  if (!broken.empty()) return broken;
  // What was decoded before is dropped once it is most of the buffer, so the buffer holds at
  // most about one frame beyond what a read brings.
  if (at > 0 && at * 2 >= buffer.size()) {
    buffer.erase(0, at);
    at = 0;
  }
  buffer.append(bytes);
  while (buffer.size() - at >= 5) {
    const char type = buffer[at];
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
      length |= std::uint32_t{static_cast<unsigned char>(buffer[at + 1 + static_cast<std::size_t>(i)])}
                << (8 * i);
    if (length > kLargestHelperFrame) {
      broken = "the capture helper sent a record of " + std::to_string(length) + " bytes";
      return broken;
    }
    if (buffer.size() - at - 5 < length) break;
    const std::string_view payload(buffer.data() + at + 5, length);
    at += 5 + length;
    broken = decodeFrame(type, payload, into);
    if (!broken.empty()) return broken;
  }
  return {};
}

std::string HelperStreamDecoder::decodeFrame(char type, std::string_view payload, Decoded& into) {
  PayloadReader in(payload);
  switch (type) {
    case 'C': {
      Change c;
      const auto kind = eventKindOf(static_cast<int>(in.number(1)));
      c.folder = in.number(1) != 0;
      c.pid = static_cast<std::int32_t>(static_cast<std::uint32_t>(in.number(4)));
      c.time = std::chrono::system_clock::time_point(
          std::chrono::duration_cast<std::chrono::system_clock::duration>(
              std::chrono::nanoseconds(static_cast<std::int64_t>(in.number(8)))));
      c.path = in.text();
      c.newPath = in.text();
      c.process = in.text();
      if (!in.whole() || !kind) return "the capture helper sent a change record that cannot be read";
      c.kind = *kind;
      into.batch.changes.push_back(std::move(c));
      return {};
    }
    case 'N': {
      WatchNotice n;
      n.root = in.text();
      n.message = in.text();
      if (!in.whole()) return "the capture helper sent a notice that cannot be read";
      into.batch.notices.push_back(std::move(n));
      return {};
    }
    case 'R':
    case 'W': {
      const auto count = in.number(4);
      std::vector<std::string> roots;
      for (std::uint64_t i = 0; i < count && !in.failed(); ++i) roots.push_back(in.text());
      if (!in.whole() || roots.size() != count)
        return "the capture helper sent a list of folders that cannot be read";
      into.roots = std::move(roots);
      if (type == 'R') into.ready = true;
      return {};
    }
    default:
      return "the capture helper sent a record of unknown type " +
             std::to_string(static_cast<unsigned char>(type));
  }
}

}  // namespace tw::linuxfs
