#pragma once

#include <string>
#include <string_view>

#include "platform/environment.h"

namespace tw {

// The main window's caption as designed; the computer name is appended at creation.
inline constexpr std::string_view kDesignCaption = "Tarnwatch v1.0";

// The computer's name; "Unknow" when it cannot be read.
std::string getComputerName(Environment& environment);

// The caption the main window shows: kDesignCaption + " - " + the computer name.
std::string mainWindowCaption(Environment& environment);

}  // namespace tw
