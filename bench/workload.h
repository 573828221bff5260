#pragma once
// What the benchmarks of the capture views share: a realistic folder tree on disk, the events
// a recording of it delivers, and the process's memory figures.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/events/change.h"
#include "core/events/event_kinds.h"

namespace tw::bench {

namespace fs = std::filesystem;

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:").
inline long rssKiB(const char* field = "VmRSS:") {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
  }
  return 0;
}

// A folder tree of about 50,000 folders on disk, and events over it: paths of 5 to 12
// segments, names drawn from a vocabulary so that they repeat as they do on real disks.
class Workload {
 public:
  Workload(const fs::path& root, int folderCount, unsigned seed = 2024) : random(seed) {
    static const char* words[] = {"src",  "docs",   "cache",  "build", "img",     "assets", "lib", "test",
                                  "data", "config", "logs",   "tmp",   "share",   "local",  "pkg", "modules",
                                  "2023", "2024",   "backup", "users", "project", "old",    "new", "work"};
    fs::create_directories(root);
    folders.push_back({root.string(), 0});
    while (static_cast<int>(folders.size()) < folderCount) {
      const std::size_t parent = random() % folders.size();
      if (folders[parent].depth >= 8) continue;
      std::string path =
          folders[parent].path + "/" + words[random() % std::size(words)] + std::to_string(random() % 40);
      if (!fs::create_directory(path)) continue;  // already there
      folders.push_back({path, folders[parent].depth + 1});
    }
    recent.resize(1 << 16);
  }

  std::size_t folderCount() const { return folders.size(); }

  // The next event: creates, updates, deletes, renames, folder creations and deletions.
  void next(Change& e) {
    static const char* stems[] = {"index", "main",  "report",  "notes", "image", "data",  "readme", "setup",
                                  "photo", "track", "invoice", "log",   "draft", "final", "copy",   "temp"};
    static const char* exts[] = {".txt", ".html", ".cpp", ".h",   ".jpg", ".png", ".pdf", ".docx",
                                 ".log", ".json", ".xml", ".mp3", ".zip", ".tmp", ".csv", ".md"};
    const unsigned roll = random() % 100;
    const auto newFile = [&] {
      const std::size_t folder = 1 + random() % (folders.size() - 1);
      std::string path = folders[folder].path + "/" + stems[random() % std::size(stems)] +
                         std::to_string(random() % 5000) + exts[random() % std::size(exts)];
      recent[recentNext++ % recent.size()] = path;
      return path;
    };
    const auto knownFile = [&]() -> std::string {
      const std::size_t known = std::min<std::size_t>(recentNext, recent.size());
      return known == 0 ? newFile() : recent[random() % known];
    };
    e.newPath.clear();
    e.time = std::chrono::system_clock::now();
    if (roll < 30) {
      e.kind = EventKind::FileCreated;
      e.path = newFile();
    } else if (roll < 70) {
      e.kind = EventKind::FileUpdated;
      e.path = knownFile();
    } else if (roll < 80) {
      e.kind = EventKind::FileDeleted;
      e.path = knownFile();
    } else if (roll < 88) {
      e.kind = EventKind::FileRenamed;
      e.path = knownFile();
      e.newPath = e.path + ".bak";
    } else if (roll < 92) {
      e.kind = EventKind::FolderCreated;
      e.path = folders[1 + random() % (folders.size() - 1)].path;
    } else if (roll < 93) {
      // Folder deletions with their subtrees, mostly deep ones.
      e.kind = EventKind::FolderDeleted;
      std::size_t folder = 1 + random() % (folders.size() - 1);
      while (folders[folder].depth < 5) folder = 1 + random() % (folders.size() - 1);
      e.path = folders[folder].path;
    } else if (roll < 96) {
      e.kind = EventKind::FolderNeedsRescan;
      e.path = folders[1 + random() % (folders.size() - 1)].path + "/";
    } else {
      e.kind = EventKind::Attributes;
      e.path = knownFile();
    }
  }

  // A new file in some folder: a creation that adds one node (and the folder's, the first time).
  void nextCreation(Change& e) {
    e.kind = EventKind::FileCreated;
    e.newPath.clear();
    e.time = std::chrono::system_clock::now();
    e.path = folders[1 + random() % (folders.size() - 1)].path + "/new" + std::to_string(created++) + ".dat";
  }

  // A folder deleted (with everything under it) or renamed, at depth 2 to 5.
  void nextFolderChange(Change& e) {
    std::size_t folder = 1 + random() % (folders.size() - 1);
    while (folders[folder].depth < 2 || folders[folder].depth > 5)
      folder = 1 + random() % (folders.size() - 1);
    e.path = folders[folder].path;
    e.time = std::chrono::system_clock::now();
    if (random() % 2 == 0) {
      e.kind = EventKind::FolderDeleted;
      e.newPath.clear();
    } else {
      e.kind = EventKind::FolderRenamed;
      e.newPath = e.path + "-renamed";
    }
  }

 private:
  struct Folder {
    std::string path;
    int depth;
  };
  std::mt19937_64 random;
  std::vector<Folder> folders;
  std::vector<std::string> recent;  // files seen lately, for updates, deletes and renames
  std::size_t recentNext = 0;
  std::size_t created = 0;
};

}  // namespace tw::bench
