#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tw {

// A captured event: the path that changed (the old path of a rename), the second path (the new
// path of a rename, usually empty otherwise) and the event number; and, where the system says,
// the process that made the change (id 0 otherwise). Set once, never changed.
class TItemObj {
 public:
  TItemObj(std::string _item1, std::string _item2, int _eventNum, std::int32_t _processId = 0,
           std::string _processName = {})
      : item1(std::move(_item1)),
        item2(std::move(_item2)),
        processName(std::move(_processName)),
        eventNum(_eventNum),
        processId(_processId) {}

  const std::string& getItem1() const { return item1; }
  const std::string& getItem2() const { return item2; }
  int getEventNum() const { return eventNum; }
  std::int32_t getProcessId() const { return processId; }
  const std::string& getProcessName() const { return processName; }

 private:
  std::string item1;
  std::string item2;
  std::string processName;  // at most 15 bytes on Linux: kept inside the string, no allocation
  int eventNum;
  std::int32_t processId;
};

}  // namespace tw
