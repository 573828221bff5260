#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/profile_store.h"

namespace tw {

class FakeProfileStore;

// Files that tests script: fakeFiles holds the content of files that exist only in the fake,
// unreadableFiles the files that exist but cannot be read; any other path is looked up on the
// real disk. Writes are real (through a temporary file and a rename); a path listed in
// refuseWrites fails with the message given there. With ansiReport set, toReportEncoding stands
// in for a single-byte code page: every character outside ASCII becomes '?'. The INI files of
// a profile store it is shown (seeProfiles) are files too. Set the fields before other threads
// use the fake.
class FakeFiles : public Files {
 public:
  std::map<std::string, std::string, std::less<>> fakeFiles;
  std::set<std::string, std::less<>> unreadableFiles;
  std::map<std::string, std::string, std::less<>> refuseWrites;
  bool ansiReport = false;

  void seeProfiles(const FakeProfileStore& store) { profiles = &store; }

  Status writeFileAtomically(std::string_view path, std::string_view bytes) override;
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override;
  bool fileExists(std::string_view path) override;
  std::string toReportEncoding(std::string_view utf8) override;

 private:
  std::optional<std::string> storedText(std::string_view path) const;

  const FakeProfileStore* profiles = nullptr;
};

// INI files in memory, by exact path, kept with the same text rules as the real platforms'
// files. Writes to a path the given files refuse (FakeFiles::refuseWrites) are refused with the
// message given there. Any thread; the files are guarded by a lock.
class FakeProfileStore : public ProfileStore {
 public:
  explicit FakeProfileStore(const FakeFiles* files = nullptr) : files(files) {}

  // The text of an in-memory INI file; none when it does not exist.
  std::optional<std::string> profileText(std::string_view path) const;
  void setProfileText(std::string_view path, std::string text);
  int profileFlushes() const;

  std::string readString(std::string_view path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) override;
  Status writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override;
  void flush(std::string_view path) override;

 private:
  const FakeFiles* files;
  mutable std::mutex lock;
  std::map<std::string, std::string, std::less<>> profileFiles;
  int flushes = 0;
};

}  // namespace tw
