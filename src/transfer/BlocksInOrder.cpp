#include "transfer/BlocksInOrder.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace bridge {
namespace {

constexpr std::int64_t kAhead = 4;

// What both workers and the writer share. Block b lives in slot b % kAhead
// from when a worker takes it until it is written; only the worker that
// took it touches its lines until it is done.
class TBlocks {
 public:
  TBlocks(std::int64_t count, const TConvertBlock& convert)
      : FCount(count), FConvert(convert) {}

  // The helper's part: blocks until none is left for it or the run stops.
  void Help() {
    for (;;) {
      std::int64_t block;
      {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return FStop || !Ahead() || Takeable(); });
        if (FStop || !Ahead()) return;
        block = FNextToTake++;
      }
      Convert(1, block);
    }
  }

  // The writer's part, which converts a block itself whenever the next one
  // to write is not done and a block is free to take.
  void Write(const TWriteBlock& write) {
    std::unique_lock lock(FLock);
    while (FNextToWrite < FCount) {
      TSlot& slot = SlotOf(FNextToWrite);
      if (slot.Done) {
        lock.unlock();
        if (slot.Error) std::rethrow_exception(slot.Error);
        write(slot.Lines);
        lock.lock();
        slot.Done = false;
        ++FNextToWrite;
        FChanged.notify_all();
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
    std::string Lines;
    std::exception_ptr Error;
    bool Done = false;
  };

  TSlot& SlotOf(std::int64_t block) {
    return FSlots[static_cast<std::size_t>(block % kAhead)];
  }
  // Whether a block is left that a worker may need: none after one that
  // failed.
  bool Ahead() const {
    return FNextToTake < std::min(FCount, FFirstFailed + 1);
  }
  bool Takeable() const {
    return Ahead() && FNextToTake < FNextToWrite + kAhead;
  }

  void Convert(int worker, std::int64_t block) {
    TSlot& slot = SlotOf(block);
    slot.Lines.clear();
    std::exception_ptr error;
    try {
      FConvert(worker, block, slot.Lines);
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

  const std::int64_t FCount;
  const TConvertBlock& FConvert;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::array<TSlot, kAhead> FSlots;
  std::int64_t FNextToTake = 0;
  std::int64_t FNextToWrite = 0;
  std::int64_t FFirstFailed = FCount;
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

void ConvertBlocksInOrder(std::int64_t count, const TConvertBlock& convert,
                          const TWriteBlock& write) {
  TBlocks blocks(count, convert);
  const THelperThread helper(blocks);
  blocks.Write(write);
}

}  // namespace bridge
