#pragma once

#include <map>
#include <string>

#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// Icons that tests script through their public fields. Set them before other threads use the
// fake. Names are split into folder and name by the path style the fake is given (a reference:
// a test may change it later).
class FakeIcons : public IconSource {
 public:
  explicit FakeIcons(const PathStyle& style) : namesStyle(style) {}

  // File-type icons by lower-case extension (with its dot); unknown types get unknownTypeIcon.
  std::map<std::string, int, std::less<>> typeIcons;
  int unknownTypeIcon = 1;
  // Icons of objects that exist, by exact path; a path not listed does not exist.
  std::map<std::string, int, std::less<>> objectIcons;
  // File-type descriptions by lower-case extension (with its dot); other names get the generic
  // description.
  std::map<std::string, std::string, std::less<>> typeDescriptions;

  int fileTypeIcon(std::string_view name) override;
  int pathIcon(std::string_view path) override;
  std::string iconName(int index) override;
  std::string fileTypeDescription(std::string_view name) override;

 private:
  const PathStyle& namesStyle;
};

}  // namespace tw
