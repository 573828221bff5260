// The digest of a file over 4 GiB, read for real through the Linux platform. Sparse, so it costs
// no disk, but reading it takes seconds: it runs in the plain test run only, not under the
// sanitizers (label "large").
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/report/export_report.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

TEST(LargeFileDigest, AFileOver4GiB) {
  LinuxPlatform platform;
  test::TempDir dir;
  const std::string path = dir.file("sparse.bin");
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  // Data at the very start, right past 4 GiB and at the end; holes read as zeros. A counter
  // that wraps at 4 GiB, or a read that stops there, gives another digest.
  const off_t fourGiB = off_t{4} << 30;
  ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
  ASSERT_EQ(::pwrite(fd, "past 4 GiB", 10, fourGiB + 1), 10);
  ASSERT_EQ(::pwrite(fd, "tail", 4, fourGiB + 4096 * 3 + 5), 4);
  ::close(fd);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  ASSERT_EQ(st.st_size, fourGiB + 4096 * 3 + 9);
  // What md5sum says of this file.
  EXPECT_EQ(fileDigestText(platform, path), "9ac964a57e5a939b1f4c338022353d39");
}

}  // namespace
}  // namespace tw
