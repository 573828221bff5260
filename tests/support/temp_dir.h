#pragma once

#include <filesystem>
#include <string>

namespace tw::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return dir; }
  // The path of `name` inside the folder, as a string.
  std::string file(const std::string& name) const { return (dir / name).string(); }
  // Writes `content` to `name` inside the folder and returns its path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path dir;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace tw::test
