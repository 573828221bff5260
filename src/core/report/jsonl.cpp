#include "core/report/jsonl.h"

#include <charconv>
#include <cstdio>

#include "core/events/event_kinds.h"
#include "core/text/utf8.h"

namespace tw {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  std::size_t len = 0;
  std::uint32_t cp = 0;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return len;
}

// A small reader for one JSON value; enough to take the event's keys and skip anything else.
class Reader {
 public:
  explicit Reader(std::string_view text) : text(text) {}

  std::string error;

  void skipSpace() {
    while (pos < text.size() &&
           (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n')) {
      ++pos;
    }
  }
  bool atEnd() {
    skipSpace();
    return pos == text.size();
  }
  bool consume(char c) {
    skipSpace();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool fail(const std::string& why) {
    if (error.empty()) error = why + " at column " + std::to_string(pos + 1);
    return false;
  }

  bool readHex4(std::uint32_t& value) {
    if (pos + 4 > text.size()) return false;
    value = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[pos++];
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool readString(std::string& out) {
    out.clear();
    if (!consume('"')) return fail("expected a string");
    while (pos < text.size()) {
      const char c = text[pos++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character in a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos >= text.size()) break;
      const char e = text[pos++];
      switch (e) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!readHex4(cp)) return fail("bad \\u escape");
          if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out.push_back(static_cast<char>(cp - 0xDC00));  // a raw byte of a path
          } else if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (pos + 2 > text.size() || text[pos] != '\\' || text[pos + 1] != 'u')
              return fail("lone surrogate");
            pos += 2;
            if (!readHex4(low) || low < 0xDC00 || low > 0xDFFF) return fail("bad surrogate pair");
            appendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail("lone surrogate");
          } else {
            appendUtf8(out, cp);
          }
          break;
        }
        default:
          return fail("bad escape");
      }
    }
    return fail("unterminated string");
  }

  bool readNumber(std::string_view& out) {
    skipSpace();
    const std::size_t start = pos;
    while (pos < text.size() &&
           (std::string_view("+-0123456789.eE").find(text[pos]) != std::string_view::npos))
      ++pos;
    if (pos == start) return fail("expected a value");
    out = text.substr(start, pos - start);
    return true;
  }

  bool skipValue(int depth = 0) {
    if (depth > 64) return fail("nested too deeply");
    skipSpace();
    if (pos >= text.size()) return fail("expected a value");
    const char c = text[pos];
    if (c == '"') {
      std::string ignored;
      return readString(ignored);
    }
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++pos;
      if (consume(close)) return true;
      do {
        if (c == '{') {
          std::string key;
          if (!readString(key) || !consume(':')) return fail("expected a key");
        }
        if (!skipValue(depth + 1)) return false;
      } while (consume(','));
      return consume(close) || fail("expected a closing bracket");
    }
    for (std::string_view word : {"true", "false", "null"}) {
      if (text.substr(pos, word.size()) == word) {
        pos += word.size();
        return true;
      }
    }
    std::string_view number;
    return readNumber(number);
  }

 private:
  std::string_view text;
  std::size_t pos = 0;
};

}  // namespace

std::string isoTime(std::chrono::system_clock::time_point moment) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(moment);
  const auto day = floor<days>(ms);
  const year_month_day date(day);
  const hh_mm_ss clock(ms - day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::optional<std::chrono::system_clock::time_point> parseIsoTime(std::string_view text) {
  using namespace std::chrono;
  std::size_t pos = 0;
  const auto number = [&](std::size_t digits, int& value) {
    if (pos + digits > text.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const char c = text[pos++];
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  };
  const auto literal = [&](char c) { return pos < text.size() && text[pos++] == c; };
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!number(4, y) || !literal('-') || !number(2, mo) || !literal('-') || !number(2, d) || !literal('T') ||
      !number(2, h) || !literal(':') || !number(2, mi) || !literal(':') || !number(2, s)) {
    return std::nullopt;
  }
  nanoseconds fraction{0};
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    std::size_t digits = 0;
    std::int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 9) {
      value = value * 10 + (text[pos++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    for (std::size_t i = digits; i < 9; ++i) value *= 10;
    fraction = nanoseconds(value);
  }
  if (!literal('Z') || pos != text.size()) return std::nullopt;
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
  if (!date.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
  return time_point_cast<system_clock::duration>(sys_days(date) + hours(h) + minutes(mi) + seconds(s) +
                                                 fraction);
}

std::string jsonString(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 2);
  out.push_back('"');
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const std::size_t len = utf8SequenceLength(bytes, i);
    char escape[8];
    if (len == 0) {
      std::snprintf(escape, sizeof escape, "\\udc%02x", b);
      out += escape;
      ++i;
      continue;
    }
    if (len == 1) {
      switch (b) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (b < 0x20 || b == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
          } else {
            out.push_back(static_cast<char>(b));
          }
      }
    } else {
      out.append(bytes.substr(i, len));
    }
    i += len;
  }
  out.push_back('"');
  return out;
}

std::optional<JsonEvent> parseJsonEvent(std::string_view line, std::string& error) {
  Reader reader(line);
  JsonEvent event;
  bool haveEvent = false;
  const auto failed = [&]() -> std::optional<JsonEvent> {
    error = reader.error.empty() ? "not a JSON object" : reader.error;
    return std::nullopt;
  };
  if (!reader.consume('{')) {
    reader.fail("expected '{'");
    return failed();
  }
  if (!reader.consume('}')) {
    do {
      std::string key;
      if (!reader.readString(key) || !reader.consume(':')) return failed();
      if (key == "event") {
        std::string_view number;
        if (!reader.readNumber(number)) return failed();
        int value = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec != std::errc() || end != number.data() + number.size()) {
          reader.fail("\"event\" is not a whole number");
          return failed();
        }
        event.event = value;
        haveEvent = true;
      } else if (key == "pid") {
        std::string_view number;
        if (!reader.readNumber(number)) return failed();
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), event.pid);
        if (ec != std::errc() || end != number.data() + number.size()) {
          reader.fail("\"pid\" is not a whole number");
          return failed();
        }
      } else if (key == "time") {
        std::string text;
        if (!reader.readString(text)) return failed();
        event.time = parseIsoTime(text);
        if (!event.time) {
          reader.fail("\"time\" is not a UTC time such as 2026-12-10T01:02:03.456Z");
          return failed();
        }
      } else if (key == "process") {
        if (!reader.readString(event.process)) return failed();
      } else if (key == "item1" || key == "item2") {
        if (!reader.readString(key == "item1" ? event.item1 : event.item2)) return failed();
      } else if (!reader.skipValue()) {
        return failed();
      }
    } while (reader.consume(','));
    if (!reader.consume('}')) {
      reader.fail("expected ',' or '}'");
      return failed();
    }
  }
  if (!reader.atEnd()) {
    reader.fail("text after the object");
    return failed();
  }
  if (!haveEvent) {
    error = "no \"event\" key";
    return std::nullopt;
  }
  return event;
}

std::string jsonLine(const Change& change) {
  const int number = eventNumber(change.kind);
  std::string line = "{\"time\":" + jsonString(isoTime(change.time)) +
                     ",\"event\":" + std::to_string(number) +
                     ",\"action\":" + jsonString(getEventName(number)) +
                     ",\"item1\":" + jsonString(change.path) + ",\"item2\":" + jsonString(change.newPath);
  if (change.pid != 0) {
    line += ",\"pid\":" + std::to_string(change.pid);
    if (!change.process.empty()) line += ",\"process\":" + jsonString(change.process);
  }
  line += "}";
  return line;
}

}  // namespace tw
