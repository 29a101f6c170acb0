#include "transfer/BlocksInOrder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace bridge {
namespace {

// A run over count blocks whose conversions take a few microseconds more or
// less, so that the workers take the blocks in ever other ways. Block b
// reads as b and becomes the line "b\n"; the blocks in failing raise "b",
// and reading block failingRead raises "read". It checks as it goes what
// must hold whoever takes which block.
struct TRun {
  explicit TRun(std::int64_t count, std::set<std::int64_t> failing = {},
                std::int64_t failingWrite = -1, std::int64_t failingRead = -1) {
    std::array<std::int64_t, kBlocksAhead> inputs{};
    const auto read = [&](std::int64_t block) {
      EXPECT_EQ(block, Read.load()) << "read out of turn";
      EXPECT_LT(block, Written.load() + kBlocksAhead) << "read too far ahead";
      if (block == failingRead) throw std::runtime_error("read");
      if (block >= count) return false;
      inputs[static_cast<std::size_t>(block % kBlocksAhead)] = block;
      ++Read;
      return true;
    };
    const auto convert = [&](int worker, std::int64_t block,
                             std::string& lines) {
      EXPECT_TRUE(lines.empty());
      EXPECT_EQ(inputs[static_cast<std::size_t>(block % kBlocksAhead)], block);
      EXPECT_FALSE(Busy[static_cast<std::size_t>(worker)].exchange(true))
          << "worker " << worker << " took two blocks at once";

      ++Converted;
      std::this_thread::sleep_for(std::chrono::microseconds(block * 7 % 30));
      Busy[static_cast<std::size_t>(worker)] = false;
      if (failing.contains(block))
        throw std::runtime_error(std::to_string(block));
      lines = std::to_string(block) + "\n";
    };
    const auto write = [&](std::string_view lines) {
      if (Written == failingWrite) throw std::runtime_error("write");
      Lines += lines;
      ++Written;
    };
    try {
      ConvertBlocksInOrder(read, convert, write);
    } catch (const std::runtime_error& error) {
      Error = error.what();
    }
  }
  std::array<std::atomic<bool>, 2> Busy{};
  std::atomic<std::int64_t> Read = 0;
  std::atomic<std::int64_t> Written = 0;
  std::atomic<std::int64_t> Converted = 0;
  std::string Lines;
  std::string Error;
};

std::string Blocks(std::int64_t first, std::int64_t end) {
  std::string lines;
  for (std::int64_t block = first; block < end; ++block) {
    lines += std::to_string(block) + "\n";
  }
  return lines;
}

TEST(BlocksInOrder, WritesEveryBlockOnceInItsOrder) {
  for (const std::int64_t count : {0, 1, 2, 5, 9, 64, 301}) {
    const TRun run(count);
    EXPECT_EQ(run.Error, "");
    EXPECT_EQ(run.Lines, Blocks(0, count)) << count;
    EXPECT_EQ(run.Converted, count);
  }
}

TEST(BlocksInOrder, RaisesTheFirstFailureAfterWritingTheBlocksBeforeIt) {
  struct TCase {
    std::int64_t Count;
    std::set<std::int64_t> Failing;
    std::int64_t First;
  };
  for (const TCase& c : std::vector<TCase>{{1, {0}, 0},
                                           {9, {0, 1}, 0},
                                           {9, {1, 0}, 0},
                                           {40, {8, 9, 30}, 8},
                                           {40, {13}, 13},
                                           {40, {39}, 39},
                                           {300, {7, 100, 250}, 7}}) {
    const TRun run(c.Count, c.Failing);
    EXPECT_EQ(run.Error, std::to_string(c.First));
    EXPECT_EQ(run.Lines, Blocks(0, c.First)) << c.First;
    // Nothing runs on long past the failure.
    EXPECT_LE(run.Converted, c.First + kBlocksAhead);
  }
}

TEST(BlocksInOrder, AFailedReadIsRaisedAfterTheBlocksBeforeIt) {
  for (const std::int64_t failing : {0, 1, 5, 49}) {
    const TRun run(50, {}, -1, failing);
    EXPECT_EQ(run.Error, "read");
    EXPECT_EQ(run.Lines, Blocks(0, failing));
    EXPECT_EQ(run.Converted, failing);
  }
  // A conversion that fails first is what the run reports.
  const TRun run(50, {3}, -1, 5);
  EXPECT_EQ(run.Error, "3");
  EXPECT_EQ(run.Lines, Blocks(0, 3));
}

TEST(BlocksInOrder, AFailedWriteEndsTheRunAtOnce) {
  for (const std::int64_t failing : {0, 1, 5, 49}) {
    const TRun run(50, {}, failing);
    EXPECT_EQ(run.Error, "write");
    EXPECT_EQ(run.Lines, Blocks(0, failing));
    EXPECT_LE(run.Converted, failing + kBlocksAhead);
  }
}

}  // namespace
}  // namespace bridge
