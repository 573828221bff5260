#pragma once

#include <string>
#include <utility>

namespace tw {

// A captured event: the path that changed (the old path of a rename), the second path (the new
// path of a rename, usually empty otherwise) and the event number. Set once, never changed.
class TItemObj {
 public:
  TItemObj(std::string _item1, std::string _item2, int _eventNum)
      : item1(std::move(_item1)), item2(std::move(_item2)), eventNum(_eventNum) {}

  const std::string& getItem1() const { return item1; }
  const std::string& getItem2() const { return item2; }
  int getEventNum() const { return eventNum; }

 private:
  std::string item1;
  std::string item2;
  int eventNum;
};

}  // namespace tw
