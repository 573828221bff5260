#pragma once
// What the benchmarks of the capture views share: a realistic folder tree on disk, the events
// a recording of it delivers, and the process's memory figures.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

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

struct Event {
  std::string item1;
  std::string item2;
  int num;
};

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
  void next(Event& e) {
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
    e.item2.clear();
    if (roll < 30) {
      e.num = tw::evCreate;
      e.item1 = newFile();
    } else if (roll < 70) {
      e.num = tw::evUpdateItem;
      e.item1 = knownFile();
    } else if (roll < 80) {
      e.num = tw::evDelete;
      e.item1 = knownFile();
    } else if (roll < 88) {
      e.num = tw::evRenameItem;
      e.item1 = knownFile();
      e.item2 = e.item1 + ".bak";
    } else if (roll < 92) {
      e.num = tw::evMkDir;
      e.item1 = folders[1 + random() % (folders.size() - 1)].path;
    } else if (roll < 93) {
      // Folder deletions with their subtrees, mostly deep ones.
      e.num = tw::evRmDir;
      std::size_t folder = 1 + random() % (folders.size() - 1);
      while (folders[folder].depth < 5) folder = 1 + random() % (folders.size() - 1);
      e.item1 = folders[folder].path;
    } else if (roll < 96) {
      e.num = tw::evUpdateDir;
      e.item1 = folders[1 + random() % (folders.size() - 1)].path + "/";
    } else {
      e.num = tw::evAttributes;
      e.item1 = knownFile();
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
};

inline bool goesToTree(int num) {
  return num == tw::evCreate || num == tw::evDelete || num == tw::evMkDir || num == tw::evRenameFolder ||
         num == tw::evRenameItem || num == tw::evRmDir || num == tw::evUpdateDir || num == tw::evUpdateItem;
}

}  // namespace tw::bench
