#include "core/model/folder_icon_cache.h"

#include <algorithm>
#include <utility>

#include "core/model/path_parts.h"

namespace tw {

FolderIconCache::FolderIconCache(Environment& environment, IconSource& icons,
                                 std::chrono::milliseconds window, Now now)
    : environment(environment),
      icons(icons),
      window(window),
      now(std::move(now)),
      style(environment.pathStyle()) {}

bool FolderIconCache::holds(std::string_view path, Answer& answer, Clock::time_point at) const {
  if (!answer.asked) return false;
  if (changesAreHistory) return true;
  if (at - answer.askedAt >= window || changedSince(path, answer.serial)) return false;
  answer.serial = changeSerial;
  return true;
}

template <typename Visit>
std::uint64_t FolderIconCache::forEachKeyAbove(std::string_view path, Visit visit) const {
  // FNV-1a: the hash of each folder above comes on the way to the path's.
  constexpr std::uint64_t kOffset = 14695981039346656037ULL, kPrime = 1099511628211ULL;
  const char separator = pathSeparator(style);
  const bool fold = style == PathStyle::Windows;
  while (!path.empty() && path.back() == separator) path.remove_suffix(1);
  std::uint64_t hash = kOffset;
  for (const char c : path) {
    if (c == separator && !visit(hash)) return hash;
    hash = (hash ^ static_cast<unsigned char>(fold ? asciiUpper(c) : c)) * kPrime;
  }
  return hash;
}

bool FolderIconCache::changedSince(std::string_view path, std::uint64_t serial) const {
  if (changeSerial <= serial) return false;
  bool changed = false;
  const std::uint64_t own = forEachKeyAbove(path, [&](std::uint64_t key) {
    const auto noted = changedAt.find(key);
    changed = noted != changedAt.end() && noted->second.below > serial;
    return !changed;
  });
  if (changed) return true;
  const auto noted = changedAt.find(own);
  return noted != changedAt.end() && noted->second.own > serial;
}

void FolderIconCache::noteChanged(std::string_view path, bool below) {
  if (path.empty()) return;
  if (changedAt.size() >= kMostChangedPaths) forgetAnswers();
  Changed& noted = changedAt[forEachKeyAbove(path, [](std::uint64_t) { return true; })];
  noted.own = ++changeSerial;
  if (below) noted.below = changeSerial;
}

void FolderIconCache::noteChange(const Change& change) {
  if (changesAreHistory) return;
  bool below = false;
  switch (change.kind) {
    case EventKind::FileCreated:
    case EventKind::FileDeleted:
    case EventKind::FileRenamed:
    case EventKind::FileUpdated:
      if (change.folder) {
        below = change.kind == EventKind::FileDeleted || change.kind == EventKind::FileRenamed;
        break;
      }
      // A plain file changes no icon but its own, which is asked once (by the tree, for a new
      // node); the one that gives its folder an icon changes the folder's.
      for (const std::string_view path : {std::string_view(change.path), std::string_view(change.newPath)}) {
        const std::string_view name = lastSegment(path, style);
        if (equalsIgnoreAsciiCase(name, "desktop.ini"))
          noteChanged(path.substr(0, path.size() - name.size()), false);
      }
      return;
    case EventKind::FolderCreated:
    case EventKind::Attributes:
    case EventKind::ImageUpdated:
    case EventKind::Association:
      // The path itself: what is below a folder created or given attributes was there (or not)
      // before, and the changes that ended it were noted then.
      break;
    default:
      // Paths deleted, renamed or read again, drives and media come or gone, shares and
      // servers: everything below too.
      below = true;
      break;
  }
  noteChanged(change.path, below);
  noteChanged(change.newPath, below);
}

void FolderIconCache::usePool(const TextPool& pool) {
  if (idPool != &pool || idPoolClears != pool.clears()) {
    std::vector<Answer>().swap(answers);
    idPool = &pool;
    idPoolClears = pool.clears();
  }
}

int FolderIconCache::folderIcon(const TextPool& pool, TextId path) {
  usePool(pool);
  const Clock::time_point at = now();
  if (path >= answers.size()) {
    answers.resize(std::max<std::size_t>(path + 1, answers.size() + answers.size() / 2));
  }
  Answer& answer = answers[path];
  const std::string_view text = pool.text(path);
  if (!holds(text, answer, at)) answer = Answer{at, changeSerial, icons.pathIcon(text), true};
  return answer.icon;
}

int FolderIconCache::systemFolderIcon() {
  if (systemIcon == 0) {
    // The lone separator when the system folder is unknown (its icon is then that of the root).
    std::string folder = environment.systemFolder().valueOr(std::string());
    folder.push_back(pathSeparator(style));
    systemIcon = icons.pathIcon(folder);
  }
  return systemIcon;
}

void FolderIconCache::forgetAnswers() {
  std::vector<Answer>().swap(answers);
  idPool = nullptr;
  std::unordered_map<std::uint64_t, Changed>().swap(changedAt);
}

void FolderIconCache::clear() {
  forgetAnswers();
  systemIcon = 0;
}

std::size_t FolderIconCache::bytesUsed() const {
  // A node of the changes noted holds its key, its serials and a link; the buckets one more.
  return answers.capacity() * sizeof(Answer) +
         changedAt.size() * (sizeof(Changed) + 2 * sizeof(std::uint64_t)) +
         changedAt.bucket_count() * sizeof(void*);
}

}  // namespace tw
