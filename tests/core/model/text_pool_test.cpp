#include "core/model/text_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

// Texts interned across many growths of the table keep their ids and texts; equal texts get one
// id, texts that differ in case or by a byte get their own; a cleared pool starts over.
TEST(TextPool, IdsAndTextsHoldAcrossGrowthAndClear) {
  TextPool pool;
  EXPECT_EQ(pool.intern(""), 0u);
  EXPECT_EQ(pool.text(0), "");
  std::vector<std::string> texts;
  for (int i = 0; i < 100000; ++i)
    texts.push_back("C:\\folder" + std::to_string(i % 997) + "\\f" + std::to_string(i));
  texts.push_back("c:\\FOLDER1\\f1");  // differs from one above in case only
  texts.push_back(std::string("a\0b", 3));
  texts.push_back(std::string("a\0c", 3));
  texts.push_back(std::string(300, 'x'));
  for (int round = 0; round < 2; ++round) {
    std::vector<TextId> ids;
    for (const std::string& t : texts) ids.push_back(pool.intern(t));
    EXPECT_EQ(pool.size(), texts.size() + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(pool.text(ids[i]), texts[i]) << i;
      ASSERT_EQ(pool.intern(texts[i]), ids[i]) << i;  // found again after the table grew
    }
    const std::uint64_t clears = pool.clears();
    pool.clear();
    EXPECT_EQ(pool.size(), 1u);
    EXPECT_EQ(pool.clears(), clears + 1);
    EXPECT_EQ(pool.intern(""), 0u);
  }
}

}  // namespace
}  // namespace tw
