#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/recording/recording_listener.h"
#include "platform/change_watching.h"

namespace tw::test {

inline const char* stateName(RecordingState state) {
  switch (state) {
    case RecordingState::Idle:
      return "Idle";
    case RecordingState::Recording:
      return "Recording";
    case RecordingState::Paused:
      return "Paused";
    case RecordingState::Stopping:
      return "Stopping";
  }
  return "?";
}

// Notes everything the controller tells a front end, one line each, with the thread it came on.
// Thread: the user-interface thread; read it there (or after that thread has ended).
class ListenerLog : public RecordingListener {
 public:
  std::vector<std::string> log;
  std::vector<Change> delivered;
  std::vector<RecordingState> states;
  std::vector<std::thread::id> threads;
  int deliveryCalls = 0;  // changesDelivered calls
  // Throws from changesDelivered once this many changes have been delivered (negative: never).
  long failAfter = -1;

  void stateChanged(RecordingState state) override {
    states.push_back(state);
    note(std::string("state ") + stateName(state));
  }
  void watchStarted(const std::vector<std::string>& roots) override {
    std::string line = "watch";
    for (const auto& root : roots) line += " " + root;
    note(line);
  }
  void noticeReceived(const WatchNotice& notice) override {
    note("notice " + notice.root + "|" + notice.message);
  }
  void batchStarted(std::size_t size) override { note("start " + std::to_string(size)); }
  void changesDelivered(std::span<const Change> changes) override {
    ++deliveryCalls;
    for (const Change& c : changes) {
      if (failAfter >= 0 && static_cast<long>(delivered.size()) >= failAfter) {
        failAfter = -1;
        throw std::runtime_error("the view cannot take more");
      }
      delivered.push_back(c);
    }
    threads.push_back(std::this_thread::get_id());
  }
  void batchProgress(std::size_t position) override { note("pos " + std::to_string(position)); }
  void batchFinished() override { note("finish"); }
  void recordingFailed(const std::string& message) override { note("failed " + message); }

  // The log without the lines of batches (start, pos, finish).
  std::vector<std::string> withoutBatches() const {
    std::vector<std::string> lines;
    for (const auto& line : log) {
      if (!line.starts_with("start ") && !line.starts_with("pos ") && line != "finish") lines.push_back(line);
    }
    return lines;
  }
  std::vector<std::string> deliveredPaths() const {
    std::vector<std::string> paths;
    for (const Change& c : delivered) paths.push_back(c.path);
    return paths;
  }

 private:
  void note(std::string line) {
    log.push_back(std::move(line));
    threads.push_back(std::this_thread::get_id());
  }
};

// A change watching that passes everything to another one and notes on which threads its
// watchers were made, waited on and destroyed and its threads prepared; it can refuse to start
// a watch. Thread-safe.
class ObservedWatching : public ChangeWatching {
 public:
  explicit ObservedWatching(ChangeWatching& inner) : inner(inner) {}

  struct Life {
    std::thread::id created;
    std::thread::id destroyed;
    std::set<std::thread::id> waitedOn;
  };

  // When set, watch() throws std::runtime_error with this message.
  void refuseWatches(std::string message) {
    std::lock_guard guard(lock);
    refusal = std::move(message);
  }
  std::vector<Life> lives() const {
    std::lock_guard guard(lock);
    return watchers;
  }
  std::multiset<std::thread::id> preparedThreads() const {
    std::lock_guard guard(lock);
    return prepared;
  }

  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override {
    std::size_t index = 0;
    {
      std::lock_guard guard(lock);
      if (!refusal.empty()) throw std::runtime_error(refusal);
      index = watchers.size();
      watchers.push_back({std::this_thread::get_id(), {}, {}});
    }
    return std::make_unique<Watcher>(*this, index, inner.watch(request));
  }
  void prepareThread() override {
    {
      std::lock_guard guard(lock);
      prepared.insert(std::this_thread::get_id());
    }
    inner.prepareThread();
  }

 private:
  class Watcher : public ChangeWatcher {
   public:
    Watcher(ObservedWatching& owner, std::size_t index, std::unique_ptr<ChangeWatcher> inner)
        : owner(owner), index(index), inner(std::move(inner)) {}
    ~Watcher() override {
      inner.reset();
      std::lock_guard guard(owner.lock);
      owner.watchers[index].destroyed = std::this_thread::get_id();
    }
    void wait(ChangeBatch& out) override {
      {
        std::lock_guard guard(owner.lock);
        owner.watchers[index].waitedOn.insert(std::this_thread::get_id());
      }
      inner->wait(out);
    }
    void wake() override { inner->wake(); }
    std::vector<std::string> watchedRoots() const override { return inner->watchedRoots(); }

   private:
    ObservedWatching& owner;
    std::size_t index;
    std::unique_ptr<ChangeWatcher> inner;
  };

  ChangeWatching& inner;
  mutable std::mutex lock;
  std::string refusal;
  std::vector<Life> watchers;
  std::multiset<std::thread::id> prepared;
};

}  // namespace tw::test
