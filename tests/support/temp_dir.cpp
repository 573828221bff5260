#include "support/temp_dir.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tw::test {

TempDir::TempDir() {
  // create_directory fails on a name that exists, so a folder is never shared by two tests.
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = base / ("tarnwatch-test-" + std::to_string(random()) + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      dir = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(dir, ec);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace tw::test
