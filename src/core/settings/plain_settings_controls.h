#pragma once

#include <string>
#include <vector>

#include "core/settings/settings_controls.h"

namespace tw {

// The settings controls held in plain lists: the settings of a program without a settings
// window (the headless recorder), and of tests. Same threading as the window's controls.
struct PlainRow {
  std::string caption;
  std::string detail;
  int image = 0;
  bool checked = false;
  bool operator==(const PlainRow&) const = default;
};

class PlainList : public EventCheckList, public FilterList {
 public:
  std::vector<PlainRow> rows;

  int rowCount() const override { return static_cast<int>(rows.size()); }
  std::string caption(int row) const override { return rows.at(static_cast<std::size_t>(row)).caption; }
  bool isChecked(int row) const override { return rows.at(static_cast<std::size_t>(row)).checked; }
  void clearRows() override { rows.clear(); }
  void addRow(const std::string& caption, bool checked, int imageIndex) override {
    rows.push_back({caption, "", imageIndex, checked});
  }
  void addRow(const std::string& caption, const std::string& detail, int imageIndex) override {
    rows.push_back({caption, detail, imageIndex, false});
  }

  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.caption);
    return out;
  }
  std::vector<bool> checks() const {
    std::vector<bool> out;
    for (const auto& row : rows) out.push_back(row.checked);
    return out;
  }
};

class PlainCheckBox : public CheckBox {
 public:
  explicit PlainCheckBox(bool checked) : checked(checked) {}
  bool checked;
  bool isChecked() const override { return checked; }
  void setChecked(bool value) override { checked = value; }
};

// The initial state is the settings window's: empty lists, auto-capture and tray off,
// clean-on-stop on.
class PlainSettingsControls : public SettingsControls {
 public:
  PlainList drives, events, extensions, paths;
  PlainCheckBox autoclean{true}, autoCapture{false}, tray{false};

  CheckList& ListDrives() override { return static_cast<EventCheckList&>(drives); }
  EventCheckList& lstevents() override { return events; }
  FilterList& lstext() override { return extensions; }
  FilterList& lstpath() override { return paths; }
  CheckBox& cautoclean() override { return autoclean; }
  CheckBox& cAutoCapture() override { return autoCapture; }
  CheckBox& cTray() override { return tray; }
};

}  // namespace tw
