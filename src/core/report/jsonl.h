#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/events/change.h"

namespace tw {

// Writes `bytes` as a quoted JSON string. Valid UTF-8 is written as it is (control characters,
// '"' and '\' escaped); a byte that is not part of valid UTF-8 is written as the escape of a
// lone low surrogate, "\udc80" to "\udcff" for the bytes 0x80 to 0xFF, so that paths that are
// not valid UTF-8 survive a round trip byte for byte. No character can be written that way.
std::string jsonString(std::string_view bytes);

// A moment as ISO 8601 in UTC with milliseconds: 2026-12-10T01:02:03.456Z.
std::string isoTime(std::chrono::system_clock::time_point moment);
// The moment of such a text (the milliseconds may be left out, or given with 1 to 9 digits);
// none for any other text.
std::optional<std::chrono::system_clock::time_point> parseIsoTime(std::string_view text);

// One event of the jsonl stream.
struct JsonEvent {
  int event = 0;
  std::string item1;
  std::string item2;
  std::int32_t pid = 0;  // "pid" and "process", when the line has them
  std::string process;
  // When the change was read from the system ("time"); none in lines written without it.
  std::optional<std::chrono::system_clock::time_point> time;
};

// Reads one line of the jsonl form: a JSON object with at least "event" (an integer) and
// "item1" and "item2" (strings; a missing one reads as empty), and optionally "time" (a string
// as isoTime writes it), "pid" (an integer) and "process" (a string); other keys are skipped.
// On a line that is not such an object, returns none and says why in `error`.
std::optional<JsonEvent> parseJsonEvent(std::string_view line, std::string& error);

// One line of the jsonl form (no line end): one JSON object with "time" (when the change was read
// from the system), "event", "action", "item1" and "item2", then "pid" and "process" when the
// process that made the change is known (pid not 0; "process" only when its name is known too).
// The headless recorder prints it, and the desktop program exports and opens it.
std::string jsonLine(const Change& change);

}  // namespace tw
