#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/events/change.h"
#include "core/model/capture_views.h"
#include "core/report/recording_file.h"

namespace tw {

// Loads a recording in the jsonl form (as the headless recorder writes it) into the capture
// views, as a replay of it would file its changes, in steps: each step files changes until its
// time is up (the clock looked at every kChangesPerLook changes, so that a slow filing, as under
// a slow icon lookup, still ends the step soon), so that a front end keeps its window alive,
// shows progress between two steps and may stop at any of them (what was loaded stays). Lines
// that are not events are counted by the file and reported once, in summary().
//
// The views hear of the filed changes as batches: by default one per step; with an announce
// interval, one per interval (and one when the load ends or is cancelled), for a front end
// whose views pay per batch. Between two announcements the views still show what they were
// told (the tree and the list answer as announced). While the load runs, a folder's icon, once
// asked of the disk, is kept for the whole load: the recording's changes are history, they say
// nothing of this disk now (CaptureViews::setFiledChangesAreHistory).
//
// The file is read and parsed on a reading thread of the loader's own, a block of kLinesPerRead
// lines at a time and at most kBlocksAhead blocks ahead of the filing, so that the user-interface
// thread only files: each block is handed over whole under one lock, and a step waits for the
// reader only when it has caught up with it. The lines that were not events, the progress and a
// read error are those of the blocks taken, so a load stopped early tells of what it filed.
//
// Thread: the user-interface thread, with the views (one step at a time, from the front end's
// event loop). Owns the open file and the reading thread (stopped and joined when the load ends,
// at the latest on destruction); uses, but does not own, the views, which must outlive it.
class RecordingLoader {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Where a load's time went, by the steady clock whatever the clock given (for the benchmarks): reading and
  // parsing the file (on the reading thread, for the blocks taken), waiting for the reader, filing the
  // changes into the tree and the list, and the announcements (the views' own work for a batch: a new row
  // count, rows matched against a filter, folder icons waited for).
  struct Times {
    std::chrono::steady_clock::duration reading{};
    std::chrono::steady_clock::duration waiting{};
    std::chrono::steady_clock::duration filing{};
    std::chrono::steady_clock::duration announcing{};
    std::size_t steps = 0;
    std::size_t reads = 0;
  };

  // Throws std::runtime_error with a readable message when the file cannot be read. `clock`
  // measures a step's time (the steady clock by default; the tests give their own).
  RecordingLoader(CaptureViews& views, std::string file, Clock clock = {});
  // Announces what was filed and not yet announced.
  ~RecordingLoader();
  RecordingLoader(const RecordingLoader&) = delete;
  RecordingLoader& operator=(const RecordingLoader&) = delete;

  // How often the views hear of the filed changes; zero (the default) for at every step's end.
  void setAnnounceInterval(std::chrono::milliseconds interval) { announceInterval = interval; }
  // Batches the views have been told of so far.
  std::size_t announcements() const { return announced; }
  const Times& times() const { return spent; }

  // Loads for about `budget` (at least kChangesPerLook changes, or what is left); false once the
  // load is over: the file read to its end, a read error (error()) or cancelled.
  bool step(std::chrono::milliseconds budget);
  // Ends the load between two steps; what was filed is announced.
  void cancel();
  bool isFinished() const { return done; }

  std::size_t changesLoaded() const { return loaded; }
  std::size_t badLines() const { return badLineCount; }
  const std::string& firstBadLine() const { return firstBad; }
  bool wasCancelled() const { return cancelled; }
  // The read error that ended the load; empty when none did.
  const std::string& error() const { return failure; }
  // How far the load has got in the file, scaled to 0..range.
  int progress(int range) const;
  // What the front ends tell the user when the load is over: the changes loaded (or that it
  // was cancelled), the lines that were not events with the first of them, and the read error.
  std::string summary() const;

  // Lines read from the file at a time (a block: its changes wait in the loader until filed),
  // blocks the reader may be ahead of the filing, and changes filed between two looks at the
  // clock.
  static constexpr std::size_t kLinesPerRead = 2000;
  static constexpr std::size_t kBlocksAhead = 2;
  static constexpr std::size_t kChangesPerLook = 32;

 private:
  // What the reader hands over: the changes of one read, and where the file stood after it.
  struct Block {
    std::vector<Change> changes;
    std::uint64_t bytesRead = 0;
    std::size_t badLines = 0;
    std::string firstBadLine;
    std::string error;  // the read error that ended the file; empty when none did
    bool last = false;  // nothing follows
    std::chrono::steady_clock::duration reading{};
  };

  CaptureViews& views;
  RecordingFile file;  // read by the reading thread only, once it runs
  std::uint64_t fileSize = 0;
  Clock clock;
  std::vector<Change> changes;  // of the block being filed
  std::size_t next = 0;         // the first of `changes` not filed yet
  bool more = true;             // the reader may hand over more blocks
  std::uint64_t bytesTaken = 0;
  std::size_t badLineCount = 0;
  std::string firstBad;
  std::size_t loaded = 0;
  bool cancelled = false;
  bool done = false;
  std::string failure;
  std::chrono::milliseconds announceInterval{0};
  bool batchOpen = false;                             // the views are in a batch of ours
  std::chrono::steady_clock::time_point announcedAt;  // the last announcement (or the start)
  std::size_t announced = 0;
  Times spent;

  // Between the two threads, under `handOff`: the blocks read and not taken yet, and the filed
  // blocks' change vectors given back for the reader to empty and fill again (their storage
  // reused, their texts freed on the reading thread).
  std::mutex handOff;
  std::condition_variable_any handedOver;  // a block was handed over, taken, or the reader stops
  std::deque<Block> ready;
  std::vector<std::vector<Change>> spare;
  bool readerEnded = false;  // the reading thread has returned: no block follows
  std::string readerError;   // why it returned early, when it did
  std::jthread reader;       // last: stopped and joined before the members it uses go

  // The reading thread's loop: reads blocks until the file ends, a read fails, or it is stopped.
  void readAhead(const std::stop_token& stop);
  // Takes the next block from the reader, waiting for it when there is none yet.
  void takeBlock();
  // Ends the views' batch (the announcement), if one is open.
  void announce();
  // The load is over: the reader stopped, the views told, the file's buffers let go, and the
  // views' changes are the disk's own again.
  void end();
};

}  // namespace tw
