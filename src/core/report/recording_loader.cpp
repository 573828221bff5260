#include "core/report/recording_loader.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/text/numbers.h"

namespace tw {

RecordingLoader::RecordingLoader(CaptureViews& views, std::string fileName, Clock clock)
    : views(views), file(std::move(fileName)), clock(std::move(clock)) {
  fileSize = file.size();
  if (!this->clock) this->clock = [] { return std::chrono::steady_clock::now(); };
  announcedAt = this->clock();
  // A folder's icon, once asked of the disk, is kept for the whole load.
  views.setFiledChangesAreHistory(true);
  reader = std::jthread([this](const std::stop_token& stop) {
    std::string error;
    try {
      readAhead(stop);
    } catch (const std::exception& e) {
      error = e.what();
    }
    // However the reader ends, the filing does not wait for it any longer.
    {
      const std::lock_guard hold(handOff);
      readerEnded = true;
      readerError = std::move(error);
    }
    handedOver.notify_all();
  });
}

void RecordingLoader::readAhead(const std::stop_token& stop) {
  for (bool last = false; !last;) {
    Block block;
    {
      std::unique_lock hold(handOff);
      if (!handedOver.wait(hold, stop, [&] { return ready.size() < kBlocksAhead; })) return;
      if (!spare.empty()) {
        block.changes = std::move(spare.back());
        spare.pop_back();
      }
    }
    // The filed changes are let go here rather than on the user-interface thread.
    block.changes.clear();
    const auto from = std::chrono::steady_clock::now();
    try {
      block.last = !file.read(kLinesPerRead, block.changes);
    } catch (const std::exception& e) {
      // What this read gave before it failed is not filed: the load ends with the error.
      block.changes.clear();
      block.error = e.what();
      block.last = true;
    }
    block.reading = std::chrono::steady_clock::now() - from;
    block.bytesRead = file.bytesRead();
    block.badLines = file.badLines();
    if (block.badLines > 0) block.firstBadLine = file.firstBadLine();
    last = block.last;
    {
      const std::lock_guard hold(handOff);
      ready.push_back(std::move(block));
    }
    handedOver.notify_all();
  }
}

void RecordingLoader::takeBlock() {
  Block block;
  {
    std::unique_lock hold(handOff);
    handedOver.wait(hold, [&] { return !ready.empty() || readerEnded; });
    if (ready.empty()) {
      // The reader failed before it could hand over its last block.
      more = false;
      failure = readerError.empty() ? "the recording could not be read to its end" : readerError;
      return;
    }
    block = std::move(ready.front());
    ready.pop_front();
    spare.push_back(std::move(changes));
  }
  handedOver.notify_all();
  changes = std::move(block.changes);
  next = 0;
  bytesTaken = block.bytesRead;
  badLineCount = block.badLines;
  if (firstBad.empty()) firstBad = std::move(block.firstBadLine);
  spent.reading += block.reading;
  ++spent.reads;
  if (block.last) more = false;
  if (!block.error.empty()) failure = std::move(block.error);
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
  reader.request_stop();
  handedOver.notify_all();
  if (reader.joinable()) reader.join();
  std::vector<Change>().swap(changes);
  ready.clear();
  spare.clear();
  views.setFiledChangesAreHistory(false);
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
  std::chrono::steady_clock::duration waiting{};
  try {
    std::size_t sinceLook = 0;
    for (;;) {
      if (next == changes.size()) {
        if (!more) break;
        const auto waitFrom = std::chrono::steady_clock::now();
        takeBlock();
        waiting += std::chrono::steady_clock::now() - waitFrom;
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
  spent.waiting += waiting;
  spent.filing += std::chrono::steady_clock::now() - measuredFrom - waiting;
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
  const std::uint64_t size = std::max(fileSize, bytesTaken);
  if (size == 0) return 0;
  return static_cast<int>(bytesTaken * static_cast<std::uint64_t>(std::max(range, 0)) / size);
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
