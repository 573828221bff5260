#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tw::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwatch-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  dir = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(dir, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace tw::test
