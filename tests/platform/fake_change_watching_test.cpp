// The scripted change watching the recording's tests drive.
#include "platform/fake/fake_change_watching.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "support/changes.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using test::change;

TEST(FakeChangeWatching, ChangesReachTheWaitInOrderKeepingToTheKinds) {
  FakeChangeWatching fake;
  EXPECT_FALSE(fake.send(change(EventKind::FileCreated, "/lost"))) << "no watcher yet";
  WatchRequest request;
  request.roots = {"/a/", "/b/"};
  request.kinds = EventKindSet().set(eventNumber(EventKind::FileCreated));
  auto watcher = fake.watch(request);
  EXPECT_EQ(fake.requests().size(), 1u);
  EXPECT_EQ(fake.liveWatchers(), 1);
  ASSERT_TRUE(
      fake.send({change(EventKind::FileCreated, "/a/1"), change(EventKind::FileDeleted, "/a/2"),
                 change(EventKind::FolderNeedsRescan, "/a/"), change(EventKind::FileCreated, "/b/3")}));
  ASSERT_TRUE(fake.notice({"/b/", "changes were lost"}));
  ChangeBatch batch;
  watcher->wait(batch);
  ASSERT_EQ(batch.changes.size(), 3u) << "a kind left out is not reported; a loss always is";
  EXPECT_EQ(batch.changes[0].path, "/a/1");
  EXPECT_EQ(batch.changes[1].kind, EventKind::FolderNeedsRescan);
  EXPECT_EQ(batch.changes[2].path, "/b/3");
  EXPECT_EQ(batch.notices, (std::vector<WatchNotice>{{"/b/", "changes were lost"}}));
  EXPECT_EQ(fake.waitsReturned(), 1);
  watcher.reset();
  EXPECT_EQ(fake.liveWatchers(), 0);
  EXPECT_FALSE(fake.send(change(EventKind::FileCreated, "/late")));
}

TEST(FakeChangeWatching, RefusedRootsAreNamedInTheFirstWait) {
  FakeChangeWatching fake;
  fake.refusedRoots["/locked/"] = "Permission denied";
  auto watcher = fake.watch(WatchRequest{{"/open/", "/locked/"}, allEventKinds()});
  EXPECT_EQ(watcher->watchedRoots(), std::vector<std::string>{"/open/"});
  ChangeBatch batch;
  watcher->wait(batch);
  EXPECT_EQ(batch.notices, (std::vector<WatchNotice>{{"/locked/", "Permission denied"}}));
}

TEST(FakeChangeWatching, AWakeFromAnotherThreadEndsAWaitWithNothing) {
  FakeChangeWatching fake;
  auto watcher = fake.watch(WatchRequest{{"/"}, allEventKinds()});
  ChangeBatch batch;
  std::thread waker([&] {
    while (fake.waitsReturned() == 0) {
      watcher->wake();
      std::this_thread::sleep_for(1ms);
    }
  });
  watcher->wait(batch);
  waker.join();
  EXPECT_TRUE(batch.empty());
  watcher->wake();  // before the wait: the next wait returns at once
  watcher->wait(batch);
  EXPECT_EQ(fake.waitsReturned(), 2);
}

TEST(FakeChangeWatching, AScriptedFailureIsThrownByTheNextWait) {
  FakeChangeWatching fake;
  auto watcher = fake.watch(WatchRequest{{"/"}, allEventKinds()});
  ASSERT_TRUE(fake.failNextWait("the watch went away"));
  ChangeBatch batch;
  try {
    watcher->wait(batch);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "the watch went away");
  }
  EXPECT_TRUE(fake.waitForNoWatcher(0ms) == false);
  watcher.reset();
  EXPECT_TRUE(fake.waitForNoWatcher(1s));
}

}  // namespace
}  // namespace tw
