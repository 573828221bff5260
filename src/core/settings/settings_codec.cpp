#include "core/settings/settings_codec.h"

#include <utility>

#include "core/settings/base64.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "core/text/text_lines.h"

namespace tw {

namespace {

// The kinds an EVENTS text chooses: every kind for a blank text or one with fewer lines than
// there are kinds (a file of a version that knew fewer kinds).
EventKindSet kindsFromText(const std::string& text) {
  const std::vector<std::string> lines = splitLines(text);
  if (isBlank(text) || lines.size() < static_cast<std::size_t>(kEventCount)) return allEventKinds();
  EventKindSet kinds;
  for (std::size_t n = 0; n < static_cast<std::size_t>(kEventCount); ++n) kinds.set(n, lines[n] == "Y");
  return kinds;
}

}  // namespace

std::string settingsFilePath(Environment& environment) {
  static constexpr const char* kFileName = "config.ini";
  const Result<std::string> folder = environment.settingsFolder();
  if (folder.ok()) return *folder + kFileName;
  return environment.executableDirectory().valueOr(std::string()) + kFileName;
}

std::string eventChoiceText(const EventKindSet& kinds) {
  std::string text;
  for (std::size_t n = 0; n < kinds.size(); ++n) {
    text += boolToYN(kinds.test(n));
    text += "\r\n";
  }
  return text;
}

CaptureOptions readCaptureOptions(ProfileStore& profiles, const std::string& iniFile, CaptureOptions base) {
  CaptureOptions options = std::move(base);
  IniStore ini(profiles, iniFile);

  ini.setWorkingSection("EVENTS");
  options.kinds = kindsFromText(decodeBase64(ini.readString("EVENTS", "")));

  ini.setWorkingSection("GLOBAL");
  options.autoCapture = ynToBool(ini.readString("AUTOCAPTURE", "N"));
  options.minimizeToTray = ynToBool(ini.readString("TRAY", "N"));
  options.cleanOnStop = ynToBool(ini.readString("AUTOCLEAN", "Y"));

  ini.setWorkingSection("FILTERS");
  // Added, not replaced: the list keeps what it holds and gains the stored extensions it lacks.
  // Line breaks separate extensions as commas do, so the decoded text is added as it is.
  const std::string extensions = ini.readString("EXTENSIONS", "");
  if (!isBlank(extensions)) addExtensions(options.extensions, decodeBase64(extensions));

  const std::string directories = ini.readString("DIRECTORIES", "");
  if (!isBlank(directories)) {
    // A value that holds something but decodes to nothing is junk, not an empty list (an empty
    // list is stored as an empty value): the list keeps its entries.
    const std::string content = decodeBase64(directories);
    if (!content.empty()) options.excludedFolders = splitLines(content);
  }
  return options;
}

void writeCaptureOptions(ProfileStore& profiles, const std::string& iniFile, const CaptureOptions& options) {
  IniStore ini(profiles, iniFile);
  ini.setWorkingSection("EVENTS");
  ini.writeString("EVENTS", encodeBase64(eventChoiceText(options.kinds)));

  ini.setWorkingSection("GLOBAL");
  ini.writeString("AUTOCAPTURE", boolToYN(options.autoCapture));
  ini.writeString("TRAY", boolToYN(options.minimizeToTray));
  ini.writeString("AUTOCLEAN", boolToYN(options.cleanOnStop));

  ini.setWorkingSection("FILTERS");
  ini.writeString("EXTENSIONS", encodeBase64(joinLinesCrLf(options.extensions)));
  ini.writeString("DIRECTORIES", encodeBase64(joinLinesCrLf(options.excludedFolders)));
}

std::optional<IniWriteError> trySaveCaptureOptions(ProfileStore& profiles, const std::string& iniFile,
                                                   CaptureOptions& options) {
  std::optional<IniWriteError> refused;
  try {
    writeCaptureOptions(profiles, iniFile, options);  // its store is freed (the file flushed) here
  } catch (const IniWriteError& error) {
    refused = error;
  }
  options = readCaptureOptions(profiles, iniFile, std::move(options));
  return refused;
}

void saveCaptureOptions(ProfileStore& profiles, const std::string& iniFile, CaptureOptions& options) {
  if (auto refused = trySaveCaptureOptions(profiles, iniFile, options)) throw *refused;
}

}  // namespace tw
