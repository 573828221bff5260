#include "core/report/main_caption.h"

namespace tw {

std::string getComputerName(Platform& platform) {
  const auto name = platform.computerName();
  return name && !name->empty() ? *name : std::string("Unknow");
}

std::string mainWindowCaption(Platform& platform) {
  return std::string(kDesignCaption) + " - " + getComputerName(platform);
}

}  // namespace tw
