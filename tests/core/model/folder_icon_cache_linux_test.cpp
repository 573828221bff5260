// The folder icon cache over the real disk.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/model/folder_icon_cache.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(FolderIconCacheLinux, AFolderDeletedGivesZeroOnceTheWindowHasPassed) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string folder = tmp.file("work") + "/";
  std::filesystem::create_directory(folder);
  FolderIconCache::Clock::time_point now{};
  FolderIconCache cache(platform, platform, 1000ms, [&now] { return now; });
  TextPool pool;
  const TextId id = pool.intern(folder);

  const int icon = cache.folderIcon(pool, id);
  ASSERT_NE(icon, 0);
  EXPECT_EQ(icon, platform.pathIcon(folder));
  std::filesystem::remove(folder);
  ASSERT_EQ(platform.pathIcon(folder), 0);
  now += 999ms;
  EXPECT_EQ(cache.folderIcon(pool, id), icon) << "within the window the answer is kept";
  now += 1ms;
  EXPECT_EQ(cache.folderIcon(pool, id), 0);
  std::filesystem::create_directory(folder);
  now += 1000ms;
  EXPECT_EQ(cache.folderIcon(pool, id), icon);
  // The system folder's icon is the plain folder icon.
  EXPECT_EQ(cache.systemFolderIcon(), platform.pathIcon("/usr/"));
}

}  // namespace
}  // namespace tw
