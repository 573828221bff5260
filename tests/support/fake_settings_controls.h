#pragma once

#include "core/settings/plain_settings_controls.h"

namespace tw::test {

// Tests script the settings window's controls with the plain lists.
using FakeRow = PlainRow;
using FakeList = PlainList;
using FakeCheckBox = PlainCheckBox;
using FakeSettingsControls = PlainSettingsControls;

}  // namespace tw::test
