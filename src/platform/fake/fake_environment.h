#pragma once

#include <optional>
#include <string>

#include "platform/environment.h"

namespace tw {

// An environment that tests script through its public fields. Set them before other threads
// use the fake.
class FakeEnvironment : public Environment {
 public:
  explicit FakeEnvironment(PathStyle style = PathStyle::Windows) : style(style) {}

  PathStyle style;
  std::string systemDir = "C:\\Windows";  // empty: the query fails
  std::optional<std::string> systemRoot = std::string("C:\\");
  std::optional<std::string> hostName = std::string("TESTBOX");
  std::string exeDir = "C:\\Program Files\\Tarnwatch\\";
  // The settings folder; none: the executable's folder, as on Windows.
  std::optional<Result<std::string>> settingsDir;
  // The time of day every moment is shown as.
  std::string clock = "12:34:56";

  PathStyle pathStyle() const override { return style; }
  Result<std::string> computerName() override;
  Result<std::string> systemFolder() override;
  Result<std::string> systemDriveRoot() override;
  Result<std::string> executableDirectory() override { return exeDir; }
  Result<std::string> settingsFolder() override { return settingsDir.value_or(exeDir); }
  std::string timeOfDay(std::chrono::system_clock::time_point) override { return clock; }
};

}  // namespace tw
