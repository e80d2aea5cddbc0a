#include "tests/fakes/BlockSet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BlockSet, FindsEveryBlockThroughGrowthAndRemovals) {
  std::vector<int> storage(5000);
  fake_dhcp::BlockSet set;
  EXPECT_FALSE(set.Erase(&storage[0]));
  for (int& block : storage) {
    set.Insert(&block);
  }
  EXPECT_EQ(set.Size(), storage.size());
  for (std::size_t i = 0; i < storage.size(); i += 2) {
    EXPECT_TRUE(set.Erase(&storage[i]));
  }
  // A block already given back, and one never handed out, are not there.
  EXPECT_FALSE(set.Erase(&storage[0]));
  int foreign = 0;
  EXPECT_FALSE(set.Erase(&foreign));
  // Slots of removed blocks are taken again, and the blocks behind them still found.
  for (int round = 0; round < 50; ++round) {
    for (std::size_t i = 0; i < storage.size(); i += 2) {
      set.Insert(&storage[i]);
    }
    for (std::size_t i = 0; i < storage.size(); i += 2) {
      ASSERT_TRUE(set.Erase(&storage[i]));
    }
  }
  for (std::size_t i = 1; i < storage.size(); i += 2) {
    EXPECT_TRUE(set.Erase(&storage[i]));
  }
  EXPECT_EQ(set.Size(), 0u);
}

}  // namespace
