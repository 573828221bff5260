#include "core/settings/fuzz/ini_fuzz_check.h"

#include <optional>
#include <utility>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/settings/base64.h"
#include "core/settings/ini_store.h"
#include "core/settings/ini_text.h"
#include "core/settings/settings_codec.h"
#include "core/text/path_style.h"
#include "core/text/text_lines.h"
#include "platform/fake/fake_platform.h"

namespace tw::test {

namespace {

constexpr const char* kFile = "/fuzz/config.ini";

std::string trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// One meaningful line of a plain reading: a header (with its name) or a key line.
struct Entry {
  bool header = false;
  std::string name;   // section name of a header, key of a key line
  std::string value;  // value of a key line, quotes removed
};

// A plain reading of the rules, line by line over splitLines, written apart from the reader.
std::vector<Entry> plainEntries(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Entry> entries;
  for (const std::string& line : splitLines(text)) {
    const std::string t = trim(line);
    if (!t.empty() && t[0] == '[' && t.find(']') != std::string::npos) {
      entries.push_back({true, trim(std::string_view(t).substr(1, t.find(']') - 1)), ""});
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = trim(std::string_view(line).substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    entries.push_back({false, trim(std::string_view(line).substr(0, eq)), std::move(value)});
  }
  return entries;
}

// The first key of the name in the first section of the name.
std::optional<std::string> plainRead(const std::vector<Entry>& entries, std::string_view section,
                                     std::string_view key) {
  bool in = false;
  for (const Entry& e : entries) {
    if (e.header) {
      if (in) return std::nullopt;
      in = equalsIgnoreAsciiCase(e.name, section);
      continue;
    }
    if (in && equalsIgnoreAsciiCase(e.name, key)) return e.value;
  }
  return std::nullopt;
}

struct Probe {
  std::string section;
  std::string key;
};

bool isBlank(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

std::string show(const std::optional<std::string>& v) { return v ? "\"" + *v + "\"" : "<none>"; }

std::string checkReaderAndWriter(std::string_view text) {
  const std::vector<Entry> entries = plainEntries(text);
  std::vector<Probe> probes = {{"EVENTS", "EVENTS"},      {"GLOBAL", "AUTOCAPTURE"},
                               {"GLOBAL", "TRAY"},        {"GLOBAL", "AUTOCLEAN"},
                               {"FILTERS", "EXTENSIONS"}, {"FILTERS", "DIRECTORIES"}};
  // Keys of the input itself, the first few of each section.
  std::string section;
  bool inSection = false;
  for (const Entry& e : entries) {
    if (probes.size() >= 14) break;
    if (e.header) {
      section = e.name;
      inSection = true;
    } else if (inSection) {
      probes.push_back({section, e.name});
    }
  }
  for (const Probe& p : probes) {
    const auto got = iniReadValue(text, p.section, p.key);
    const auto want = plainRead(entries, p.section, p.key);
    if (got != want)
      return "read [" + p.section + "] " + p.key + ": " + show(got) + ", plainly " + show(want);
  }
  for (const Probe& p : probes) {
    if (!iniCheckEntry(p.section, p.key, "fz").empty()) continue;
    const std::string written = iniWriteValue(text, p.section, p.key, "fz");
    for (const Probe& q : probes) {
      const bool same = equalsIgnoreAsciiCase(trim(p.section), trim(q.section)) &&
                        equalsIgnoreAsciiCase(trim(p.key), trim(q.key));
      const auto got = iniReadValue(written, q.section, q.key);
      const auto want = same ? std::optional<std::string>("fz") : iniReadValue(text, q.section, q.key);
      if (got != want) {
        return "after writing [" + p.section + "] " + p.key + ", [" + q.section + "] " + q.key + " reads " +
               show(got) + " instead of " + show(want);
      }
    }
  }
  return {};
}

std::string checkRestore(std::string_view bytes) {
  FakePlatform platform;
  platform.setProfileText(kFile, std::string(bytes));
  CaptureOptions options = readCaptureOptions(platform, kFile);

  const std::vector<Entry> entries = plainEntries(bytes);
  const auto yes = [&](const char* key, const char* def) {
    return plainRead(entries, "GLOBAL", key).value_or(def) == "Y";
  };
  const std::string events = decodeBase64(plainRead(entries, "EVENTS", "EVENTS").value_or(""));
  const std::vector<std::string> lines = splitLines(events);
  for (int i = 0; i < kEventCount; ++i) {
    const bool on = isBlank(events) || lines.size() < static_cast<std::size_t>(kEventCount) ||
                    lines[static_cast<std::size_t>(i)] == "Y";
    if (options.kinds.test(static_cast<std::size_t>(i)) != on) return "event " + std::to_string(i) + " lost";
  }
  if (options.autoCapture != yes("AUTOCAPTURE", "N") || options.minimizeToTray != yes("TRAY", "N") ||
      options.cleanOnStop != yes("AUTOCLEAN", "Y")) {
    return "a GLOBAL value was lost";
  }
  const std::string dirs = plainRead(entries, "FILTERS", "DIRECTORIES").value_or("");
  const std::vector<std::string> paths =
      isBlank(dirs) ? std::vector<std::string>{} : splitLines(decodeBase64(dirs));
  if (options.excludedFolders != paths) return "the excluded paths were lost";
  const auto& ext = options.extensions;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    if (isBlank(ext[i])) return "a blank extension";
    for (std::size_t j = 0; j < i; ++j) {
      if (equalsIgnoreAsciiCase(ext[i], ext[j])) return "a duplicate extension";
    }
  }

  // A save writes the value; the read that ends it gives the same value again.
  const CaptureOptions before = options;
  try {
    saveCaptureOptions(platform, kFile, options);
  } catch (const std::exception& e) {
    return std::string("the save failed: ") + e.what();
  }
  if (options != before) return "a save and read changed the options";
  if (readCaptureOptions(platform, kFile) != before) return "the saved file reads as other options";
  return {};
}

std::string checkBase64(std::string_view bytes) {
  if (decodeBase64(encodeBase64(bytes)) != bytes) return "Base64 does not give the bytes back";
  const std::string decoded = decodeBase64(bytes);
  if (decoded.size() > bytes.size()) return "Base64 decoding grew";
  if (decodeBase64(encodeBase64(decoded)) != decoded)
    return "Base64 of the decoded bytes does not give them back";
  if (const auto n = parseInt32(bytes); n && parseInt32(std::to_string(*n)) != n)
    return "integer text does not round-trip";
  return {};
}

}  // namespace

std::string checkSettingsInput(std::string_view bytes) {
  if (std::string failure = checkReaderAndWriter(bytes); !failure.empty()) return failure;
  if (std::string failure = checkRestore(bytes); !failure.empty()) return failure;
  return checkBase64(bytes);
}

}  // namespace tw::test
