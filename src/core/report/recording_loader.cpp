#include "core/report/recording_loader.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/text/numbers.h"

namespace tw {

RecordingLoader::RecordingLoader(CaptureViews& views, std::string fileName, Clock clock)
    : views(views), file(std::move(fileName)), clock(std::move(clock)) {
  if (!this->clock) this->clock = [] { return std::chrono::steady_clock::now(); };
  announcedAt = this->clock();
  liveIconWindow = views.folderIconWindow();
  if (liveIconWindow) views.setFolderIconWindow(kFolderIconWindow);
}

RecordingLoader::~RecordingLoader() {
  if (!done) end();
}

void RecordingLoader::announce() {
  if (!batchOpen) return;
  batchOpen = false;
  ++announced;
  const auto started = std::chrono::steady_clock::now();
  views.endBatch();
  spent.announcing += std::chrono::steady_clock::now() - started;
}

void RecordingLoader::end() {
  done = true;
  std::vector<Change>().swap(changes);
  if (liveIconWindow) views.setFolderIconWindow(*liveIconWindow);
  liveIconWindow.reset();
  announce();
}

bool RecordingLoader::step(std::chrono::milliseconds budget) {
  if (done) return false;
  const auto measuredFrom = std::chrono::steady_clock::now();
  const auto until = clock() + budget;
  ++spent.steps;
  if (!batchOpen) {
    views.beginBatch();
    batchOpen = true;
  }
  std::chrono::steady_clock::duration reading{};
  try {
    std::size_t sinceLook = 0;
    for (;;) {
      if (next == changes.size()) {
        changes.clear();
        next = 0;
        if (more) {
          const auto readFrom = std::chrono::steady_clock::now();
          more = file.read(kLinesPerRead, changes);
          reading += std::chrono::steady_clock::now() - readFrom;
          ++spent.reads;
        }
        if (changes.empty() && !more) break;
        continue;
      }
      views.add(changes[next++]);
      ++loaded;
      if (++sinceLook == kChangesPerLook) {
        sinceLook = 0;
        if (clock() >= until) break;
      }
    }
  } catch (const std::exception& e) {
    failure = e.what();
    more = false;
    next = changes.size();
  }
  spent.reading += reading;
  spent.filing += std::chrono::steady_clock::now() - measuredFrom - reading;
  if (!more && next == changes.size()) {
    end();
    return false;
  }
  if (announceInterval.count() == 0) {
    announce();
  } else if (const auto now = clock(); now - announcedAt >= announceInterval) {
    announce();
    announcedAt = now;
  }
  return true;
}

void RecordingLoader::cancel() {
  if (done) return;
  cancelled = true;
  end();
}

int RecordingLoader::progress(int range) const {
  if (done && !cancelled && failure.empty()) return range;
  const std::uint64_t size = std::max(file.size(), file.bytesRead());
  if (size == 0) return 0;
  return static_cast<int>(file.bytesRead() * static_cast<std::uint64_t>(std::max(range, 0)) / size);
}

std::string RecordingLoader::summary() const {
  std::string text =
      cancelled ? "Opening was cancelled: " + withThousandsSeparators(loaded) + " changes were loaded."
                : withThousandsSeparators(loaded) + " changes were loaded.";
  if (badLines() > 0) {
    text += "\n" + withThousandsSeparators(badLines()) +
            " lines were not events and were skipped (the first: " + firstBadLine() + ").";
  }
  if (!failure.empty()) text += "\n" + failure;
  return text;
}

}  // namespace tw
