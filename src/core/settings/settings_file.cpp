#include "core/settings/settings_file.h"

#include <exception>

#include "core/events/event_kinds.h"
#include "core/settings/base64.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "core/text/path_style.h"
#include "core/text/text_lines.h"

namespace tw {

namespace {

std::string replaceAll(std::string_view text, std::string_view what, std::string_view with) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(what, pos)) != std::string_view::npos; pos = hit + what.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(with);
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::string settingsFilePath(Environment& environment) {
  return environment.executableDirectory().valueOr(std::string()) + "config.ini";
}

std::string listViewToText(const CaptionList& list) {
  std::string text;
  const int rows = list.rowCount();
  for (int row = 0; row < rows; ++row) {
    text += list.caption(row);
    text += "\r\n";
  }
  return text;
}

CaptureOptions captureOptionsFrom(SettingsControls& controls) {
  CaptureOptions options;
  CheckList& drives = controls.ListDrives();
  for (int row = 0; row < drives.rowCount(); ++row) {
    if (!drives.isChecked(row)) options.skippedDrives.push_back(drives.caption(row));
  }
  // A row that is not checked leaves its kind out; kinds beyond the last row stay in.
  EventCheckList& events = controls.lstevents();
  for (int row = 0; row < events.rowCount() && row < kEventCount; ++row) {
    options.kinds.set(static_cast<std::size_t>(row), events.isChecked(row));
  }
  for (int row = 0; row < controls.lstext().rowCount(); ++row)
    options.extensions.push_back(controls.lstext().caption(row));
  for (int row = 0; row < controls.lstpath().rowCount(); ++row) {
    options.excludedFolders.push_back(controls.lstpath().caption(row));
  }
  options.autoCapture = controls.cAutoCapture().isChecked();
  options.minimizeToTray = controls.cTray().isChecked();
  options.cleanOnStop = controls.cautoclean().isChecked();
  return options;
}

bool isInListView(std::string_view text, const CaptionList& list) {
  const int rows = list.rowCount();
  for (int row = 0; row < rows; ++row) {
    if (equalsIgnoreAsciiCase(list.caption(row), text)) return true;
  }
  return false;
}

void defaultEventList(SettingsControls& controls) {
  EventCheckList& list = controls.lstevents();
  list.clearRows();
  for (const std::string& name : eventNames()) list.addRow(name, true, kEventImageCaptured);
}

void saveSettings(SettingsControls& controls, ProfileStore& profiles, IconSource& icons,
                  const std::string& iniFile) {
  std::exception_ptr failure;
  {
    IniStore ini(profiles, iniFile);
    try {
      ini.setWorkingSection("EVENTS");
      std::string events;
      const EventCheckList& list = controls.lstevents();
      for (int row = 0; row < list.rowCount(); ++row) {
        events += boolToYN(list.isChecked(row));
        events += "\r\n";
      }
      ini.writeString("EVENTS", encodeBase64(events));

      ini.setWorkingSection("GLOBAL");
      ini.writeString("AUTOCAPTURE", boolToYN(controls.cAutoCapture().isChecked()));
      ini.writeString("TRAY", boolToYN(controls.cTray().isChecked()));
      ini.writeString("AUTOCLEAN", boolToYN(controls.cautoclean().isChecked()));

      ini.setWorkingSection("FILTERS");
      ini.writeString("EXTENSIONS", encodeBase64(listViewToText(controls.lstext())));
      ini.writeString("DIRECTORIES", encodeBase64(listViewToText(controls.lstpath())));
    } catch (...) {
      failure = std::current_exception();
    }
  }  // the store is freed (and the file flushed) before the restore
  restoreSettings(controls, profiles, icons, iniFile);
  if (failure) std::rethrow_exception(failure);
}

void restoreSettings(SettingsControls& controls, ProfileStore& profiles, IconSource& icons,
                     const std::string& iniFile) {
  IniStore ini(profiles, iniFile);

  std::string events;
  try {
    ini.setWorkingSection("EVENTS");
    events = decodeBase64(ini.readString("EVENTS", ""));
  } catch (const std::exception&) {
    events.clear();
  }
  const std::vector<std::string>& names = eventNames();
  const std::vector<std::string> lines = splitLines(events);
  if (isBlank(events) || lines.size() < names.size()) {
    // Nothing stored, or a choice written when there were fewer kinds: every kind recorded.
    defaultEventList(controls);
  } else {
    EventCheckList& list = controls.lstevents();
    try {
      list.clearRows();
      for (std::size_t i = 0; i < names.size(); ++i) {
        const bool on = lines[i] == "Y";
        list.addRow(names[i], on, on ? kEventImageCaptured : kEventImageNotCaptured);
      }
    } catch (const std::exception&) {
      defaultEventList(controls);
    }
  }

  ini.setWorkingSection("GLOBAL");
  controls.cAutoCapture().setChecked(ynToBool(ini.readString("AUTOCAPTURE", "N")));
  controls.cTray().setChecked(ynToBool(ini.readString("TRAY", "N")));
  controls.cautoclean().setChecked(ynToBool(ini.readString("AUTOCLEAN", "Y")));

  ini.setWorkingSection("FILTERS");
  const std::string extensions = ini.readString("EXTENSIONS", "");
  if (!isBlank(extensions)) {
    try {
      addExtensions(controls.lstext(), icons, replaceAll(decodeBase64(extensions), "\r\n", ","));
    } catch (const std::exception&) {
      // A list that cannot be applied keeps its rows.
    }
  }
  const std::string directories = ini.readString("DIRECTORIES", "");
  if (!isBlank(directories)) {
    try {
      // A value that holds something but decodes to nothing is junk, not an empty list (an
      // empty list is stored as an empty value): the list keeps its rows.
      const std::string content = decodeBase64(directories);
      if (!content.empty()) restoreDirsFilters(controls, icons, content);
    } catch (const std::exception&) {
      // As above.
    }
  }
}

void restoreDirsFilters(SettingsControls& controls, IconSource& icons, std::string_view content) {
  FilterList& list = controls.lstpath();
  list.clearRows();
  for (const std::string& line : splitLines(content)) list.addRow(line, "", icons.pathIcon(line));
}

}  // namespace tw
