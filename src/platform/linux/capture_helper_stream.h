#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/change_watching.h"

namespace tw::linuxfs {

// The stream the capture helper writes to the desktop program over a pipe: a sequence of
// frames, each a type byte, a 32-bit little-endian payload length and the payload. Strings in a
// payload are a 32-bit length and their bytes, so any path (newlines, bytes that are not UTF-8)
// stays one field, and nothing the helper reads can forge a frame boundary.
//
// Frames:
//   'R' ready: the helper watches; payload: the count of watched roots and each root.
//   'W' watched roots changed; payload as 'R'.
//   'C' one change; payload: event number (1 byte), folder (1 byte), pid (int32), time in
//       nanoseconds since the epoch (int64), path, new path, process name.
//   'N' one notice; payload: root, message.
//
// A length-prefixed form rather than the recorder's jsonl lines: the platform layer reads it
// without the recorder's library, and neither side escapes or scans for line ends.
inline constexpr std::size_t kLargestHelperFrame = 1 << 20;  // far above two paths and a name

// The helper's command line after the program name, as the program builds it for a request:
// --capture-helper, then --drive ROOT for each root and --kinds MASK (bit n for event number n).
// Thread: any.
std::vector<std::string> captureHelperArgs(const WatchRequest& request);

// Appends the frames of one batch to `out`. Thread: any (pure function).
void encodeHelperBatch(const ChangeBatch& batch, std::string& out);
void encodeHelperRoots(char type, const std::vector<std::string>& roots, std::string& out);

// Reads the helper's stream in whatever pieces the pipe gives. Used by one thread.
class HelperStreamDecoder {
 public:
  // What one feed found.
  struct Decoded {
    ChangeBatch batch;
    bool ready = false;                             // an 'R' frame came
    std::optional<std::vector<std::string>> roots;  // the latest 'R' or 'W' roots
  };
  // Decodes every whole frame in what has been fed so far, into `into`. Returns an empty
  // string, or why the stream is broken (a frame of an unknown type, a length over
  // kLargestHelperFrame, a payload that does not match its type); once broken, it stays so.
  std::string feed(std::string_view bytes, Decoded& into);
  // Bytes of an unfinished frame held for the next feed.
  std::size_t pending() const { return buffer.size() - at; }

 private:
  std::string decodeFrame(char type, std::string_view payload, Decoded& into);
  std::string buffer;
  std::size_t at = 0;
  std::string broken;
};

}  // namespace tw::linuxfs
