#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/events/change.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// The folder icons of the capture views (the icon source's `pathIcon` of a path on disk), with each
// answer kept while nothing says it has changed.
//
// Why an answer may be kept: what makes a path's icon change is a change to the path itself (created,
// its attributes set, or the file in it that gives a folder its own icon, desktop.ini, written)
// or a change that ends or moves it with everything below (a folder above it, or the path,
// deleted, renamed or read again; its drive or medium come or gone). The views receive those
// changes: the owner of the cache notes each change it files (noteChange), and an answer stops
// holding at the first change noted after it that names the path, or a folder above it with
// everything below; the disk is then asked again. Changes of plain files leave the answers alone.
// That spares the path lookups of the folders a recording keeps returning to: every list row
// shows the icon of its work folder. A change the views do not receive (a kind the recording
// leaves out, an excluded folder) shows once the answer is `window` old (a minute by default):
// after the window the disk is asked again anyway.
//
// The system folder's icon (`pathIcon` of the system folder, the plain folder icon
// that non-file rows and treated folders show) does not change while the program runs: it is
// asked once, and again only while the answer is 0 (a failed query is not kept).
//
// Thread: the user-interface thread only, like the views it serves. Uses, but does not own, the
// environment and the icon source. The memory held is bounded by the size of the text pool
// whose ids the answers are kept by, and by kMostChangedPaths for the changes noted.
class FolderIconCache {
 public:
  using Clock = std::chrono::steady_clock;
  // The time source; tests give their own.
  using Now = std::function<Clock::time_point()>;
  static constexpr std::chrono::milliseconds kDefaultWindow{60000};
  // The most paths whose changes are noted at once: past it every answer is forgotten, and
  // the noting starts over.
  static constexpr std::size_t kMostChangedPaths = std::size_t{1} << 18;

  FolderIconCache(Environment& environment, IconSource& icons,
                  std::chrono::milliseconds window = kDefaultWindow, Now now = &Clock::now);
  FolderIconCache(const FolderIconCache&) = delete;
  FolderIconCache& operator=(const FolderIconCache&) = delete;

  // A change filed into the views: the answers it may have made untrue stop holding (those of
  // the paths it names, and of what is below them where it ends or moves them; see above).
  void noteChange(const Change& change);
  // pathIcon of a path held by a text pool, asked again once the answer kept stops holding. The
  // answers are kept by the pool's ids (no path is hashed or compared to find one), and
  // forgotten when another pool is given or the pool was cleared.
  int folderIcon(const TextPool& pool, TextId path);
  // The icon of the system folder with its separator, asked once.
  int systemFolderIcon();
  // The icon source the cache asks (for the icons the views ask of it directly, by file type).
  IconSource& source() { return icons; }
  // Forgets every answer.
  void clear();
  // Whether the changes filed are history (a recording being opened): they say nothing of this
  // disk now, so they are not noted, and every answer holds whatever its age until they are no
  // longer history.
  void setChangesAreHistory(bool history) { changesAreHistory = history; }
  bool changesAreHistoryNow() const { return changesAreHistory; }

  // Bytes held (answers and changes noted, roughly), for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  // An answer kept, by text id.
  struct Answer {
    Clock::time_point askedAt;
    std::uint64_t serial = 0;  // the changes noted when it was asked (changeSerial)
    int icon = 0;
    bool asked = false;  // false for a path never asked
  };

  // Whether the answer for `path` still holds at `at`. An answer that holds because no change
  // since names it is brought up to the changes noted now (its serial), so that the same
  // changes are not looked at again.
  bool holds(std::string_view path, Answer& answer, Clock::time_point at) const;
  // Whether a change noted after `serial` names `path` or a folder above it.
  bool changedSince(std::string_view path, std::uint64_t serial) const;
  // Notes a change of `path`, and of everything below it when `below`.
  void noteChanged(std::string_view path, bool below);
  // Calls visit(key) with the key of each folder above `path`, from the top, while it returns
  // true; returns the key of the path itself. A key is a hash of the path's text without its
  // trailing separators, with ASCII case folded where paths are Windows ones.
  template <typename Visit>
  std::uint64_t forEachKeyAbove(std::string_view path, Visit visit) const;
  // Forgets every answer and every change noted (the system folder's icon stays).
  void forgetAnswers();
  // Keeps answers by the ids of `pool` from now on: those kept by another pool's ids, or by the
  // ids of this one before it was cleared, are forgotten.
  void usePool(const TextPool& pool);

  Environment& environment;
  IconSource& icons;
  Clock::duration window;
  Now now;
  PathStyle style;
  int systemIcon = 0;
  std::vector<Answer> answers;  // by text id of idPool
  const TextPool* idPool = nullptr;
  std::uint64_t idPoolClears = 0;
  // The changes noted: how many so far, and by path key the serials of the last one that named
  // the path and of the last one that named everything below it too (0: none).
  std::uint64_t changeSerial = 0;
  struct Changed {
    std::uint64_t own = 0;
    std::uint64_t below = 0;
  };
  std::unordered_map<std::uint64_t, Changed> changedAt;
  bool changesAreHistory = false;
};

}  // namespace tw
