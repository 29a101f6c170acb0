#include "transfer/BlocksInOrder.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

namespace bridge {
namespace {

// What both workers and the writer share. Block b lives in slot
// b % kBlocksAhead from when it is read until it is written; only the
// worker that took it touches its output until it is done.
class TBlocks {
 public:
  TBlocks(const TReadBlock& read, const TConvertBlock& convert)
      : FRead(read), FConvert(convert) {}

  // The helper's part: blocks until none is left for it or the run stops.
  void Help() {
    for (;;) {
      std::int64_t block;
      {
        std::unique_lock lock(FLock);
        FChanged.wait(lock,
                      [this] { return FStop || HelperDone() || Takeable(); });
        if (FStop || HelperDone()) return;
        block = FNextToTake++;
      }
      Convert(1, block);
    }
  }

  // The writer's part, which also reads every block and converts one
  // whenever nothing else is to be done.
  void Write(const TWriteBlock& write) {
    std::unique_lock lock(FLock);
    for (;;) {
      if (FNextToWrite == FReadCount && FEnded) {
        if (FReadError) std::rethrow_exception(FReadError);
        return;
      }
      TSlot& slot = SlotOf(FNextToWrite);
      if (FNextToWrite < FReadCount && slot.Done) {
        lock.unlock();
        if (slot.Error) std::rethrow_exception(slot.Error);
        write(slot.Output);
        lock.lock();
        slot.Done = false;
        ++FNextToWrite;
        FChanged.notify_all();
      } else if (ReadWanted()) {
        ReadNext(lock);
      } else if (Takeable()) {
        const std::int64_t block = FNextToTake++;
        lock.unlock();
        Convert(0, block);
        lock.lock();
      } else {
        FChanged.wait(lock);
      }
    }
  }

  void Stop() {
    {
      const std::lock_guard lock(FLock);
      FStop = true;
    }
    FChanged.notify_all();
  }

 private:
  struct TSlot {
    std::string Output;
    std::exception_ptr Error;
    bool Done = false;
  };

  TSlot& SlotOf(std::int64_t block) {
    return FSlots[static_cast<std::size_t>(block % kBlocksAhead)];
  }
  // The blocks a worker may still need: those read, none after one that
  // failed.
  std::int64_t Limit() const { return std::min(FReadCount, FFirstFailed + 1); }
  bool Takeable() const { return FNextToTake < Limit(); }
  bool HelperDone() const {
    return FNextToTake > FFirstFailed || (FEnded && FNextToTake >= FReadCount);
  }
  bool ReadWanted() const {
    return !FEnded && FReadCount < FNextToWrite + kBlocksAhead &&
           FFirstFailed == kNone;
  }

  void ReadNext(std::unique_lock<std::mutex>& lock) {
    const std::int64_t block = FReadCount;
    lock.unlock();
    bool read = false;
    std::exception_ptr error;
    try {
      read = FRead(block);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (read) {
      ++FReadCount;
    } else {
      FEnded = true;
      FReadError = error;
    }
    FChanged.notify_all();
  }

  void Convert(int worker, std::int64_t block) {
    TSlot& slot = SlotOf(block);
    slot.Output.clear();
    std::exception_ptr error;
    try {
      FConvert(worker, block, slot.Output);
    } catch (...) {
      error = std::current_exception();
    }
    {
      const std::lock_guard lock(FLock);
      slot.Error = error;
      slot.Done = true;
      if (error) FFirstFailed = std::min(FFirstFailed, block);
    }
    FChanged.notify_all();
  }

  static constexpr std::int64_t kNone =
      std::numeric_limits<std::int64_t>::max() - 1;

  const TReadBlock& FRead;
  const TConvertBlock& FConvert;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::array<TSlot, kBlocksAhead> FSlots;
  std::int64_t FReadCount = 0;
  std::int64_t FNextToTake = 0;
  std::int64_t FNextToWrite = 0;
  std::int64_t FFirstFailed = kNone;
  bool FEnded = false;
  std::exception_ptr FReadError;
  bool FStop = false;
};

// The helper's thread, stopped and joined however the writer ends.
class THelperThread {
 public:
  explicit THelperThread(TBlocks& blocks) : FBlocks(blocks) {
    try {
      FThread = std::thread([&blocks] { blocks.Help(); });
    } catch (const std::system_error&) {
      // The writer's thread converts every block then.
    }
  }
  ~THelperThread() {
    FBlocks.Stop();
    if (FThread.joinable()) FThread.join();
  }
  THelperThread(const THelperThread&) = delete;
  THelperThread& operator=(const THelperThread&) = delete;

 private:
  TBlocks& FBlocks;
  std::thread FThread;
};

}  // namespace

void ConvertBlocksInOrder(const TReadBlock& read, const TConvertBlock& convert,
                          const TWriteBlock& write) {
  TBlocks blocks(read, convert);
  const THelperThread helper(blocks);
  blocks.Write(write);
}

}  // namespace bridge
