#include "tests/fakes/BlockSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/fakes/BlockChunks.h"

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

namespace {

// Answer after answer: blocks handed out and freed in waves, each wave found whole while the
// removed ones are gone, whatever their neighbours in the table went through.
TEST(BlockSet, KeepsFindingBlocksThroughWavesOfRemovals) {
  std::vector<int> storage(20000);
  fake_dhcp::BlockSet set;
  constexpr std::size_t kWave = 1500;
  for (std::size_t start = 0; start + 2 * kWave <= storage.size(); start += kWave) {
    for (std::size_t i = start + kWave; i < start + 2 * kWave; ++i) {
      set.Insert(&storage[i]);
    }
    for (std::size_t i = start; i < start + kWave && start > 0; ++i) {
      ASSERT_TRUE(set.Erase(&storage[i])) << i;
    }
    for (std::size_t i = start + kWave; i < start + 2 * kWave; ++i) {
      ASSERT_FALSE(set.Erase(&storage[i - kWave]) && start > 0) << i;
    }
    EXPECT_EQ(set.Size(), kWave);
  }
}

// Blocks of every size, a chunk's worth and more among them, are zeroed, aligned for any field
// of the API's structures and apart from each other, whatever order they are freed in.
TEST(BlockChunks, BlocksAreZeroedAlignedApartAndFreedInAnyOrder) {
  struct Block {
    unsigned char* bytes;
    std::size_t size;
  };
  std::vector<Block> blocks;
  for (int round = 0; round < 3; ++round) {
    for (std::size_t size : {0, 1, 7, 16, 100, 5000, 300000}) {
      auto* bytes = static_cast<unsigned char*>(fake_dhcp::AllocateZeroedBlock(size));
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % 16, 0u);
      EXPECT_TRUE(std::all_of(bytes, bytes + size, [](unsigned char byte) { return byte == 0; }));
      std::fill(bytes, bytes + size, static_cast<unsigned char>(blocks.size()));
      blocks.push_back({bytes, size});
    }
  }
  for (std::size_t index = 0; index < blocks.size(); ++index) {
    const Block& block = blocks[index];
    EXPECT_TRUE(std::all_of(block.bytes, block.bytes + block.size, [&](unsigned char byte) {
      return byte == static_cast<unsigned char>(index);
    }));
  }
  for (std::size_t index = 0; index < blocks.size(); index += 2) {
    fake_dhcp::FreeBlock(blocks[index].bytes);
  }
  for (std::size_t index = 1; index < blocks.size(); index += 2) {
    fake_dhcp::FreeBlock(blocks[index].bytes);
  }
}

}  // namespace
