#pragma once

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/queue/batch_view.h"
#include "core/queue/ui_dispatcher.h"

namespace tw::test {

// Runs every step at once on the calling thread.
class InlineDispatcher : public UiDispatcher {
 public:
  void synchronize(std::function<void()> step) override {
    ++calls;
    step();
  }
  int calls = 0;
};

// Logs every step the queue thread delivers, as one line each, and the thread it ran on.
class RecordingView : public BatchView {
 public:
  std::vector<std::string> log;
  std::vector<std::thread::id> threads;
  int failOnListItem = -1;  // throw from the n-th addListItem (0-based)

  void showBatchProgress(int count) override { note("show " + std::to_string(count)); }
  void addDirectoryFile(const std::string& path, const std::string& newName, int eventnum) override {
    note("tree " + path + "|" + newName + "|" + std::to_string(eventnum));
  }
  void addListItem(const std::string& item1, const std::string& item2, int eventNum) override {
    if (listItems++ == failOnListItem) throw std::runtime_error("list step failed");
    note("list " + item1 + "|" + item2 + "|" + std::to_string(eventNum));
  }
  void setBatchPosition(int i) override { note("pos " + std::to_string(i)); }
  void hideBatchProgress() override { note("hide"); }

 private:
  void note(std::string line) {
    log.push_back(std::move(line));
    threads.push_back(std::this_thread::get_id());
  }
  int listItems = 0;
};

}  // namespace tw::test
