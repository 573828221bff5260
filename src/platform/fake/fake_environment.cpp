#include "platform/fake/fake_environment.h"

namespace tw {

Result<std::string> FakeEnvironment::computerName() {
  if (!hostName) return Result<std::string>::failure("no computer name");
  return *hostName;
}

Result<std::string> FakeEnvironment::systemFolder() {
  if (systemDir.empty()) return Result<std::string>::failure("no system folder");
  return systemDir;
}

Result<std::string> FakeEnvironment::systemDriveRoot() {
  if (!systemRoot) return Result<std::string>::failure("no system drive");
  return *systemRoot;
}

}  // namespace tw
