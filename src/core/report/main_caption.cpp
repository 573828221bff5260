#include "core/report/main_caption.h"

namespace tw {

std::string getComputerName(Environment& environment) {
  const auto name = environment.computerName();
  return name && !name->empty() ? *name : std::string("Unknow");
}

std::string mainWindowCaption(Environment& environment) {
  return std::string(kDesignCaption) + " - " + getComputerName(environment);
}

}  // namespace tw
