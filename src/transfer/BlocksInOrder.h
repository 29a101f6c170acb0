// Numbered blocks of work converted on two threads and written in their
// order: the records of a large table or host file, converted block by
// block while one writer keeps them in the order of the records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bridge {

// How many blocks are read ahead of the writer at most. The input of block
// b, kept by the caller in slot b % kBlocksAhead, stays there from when it
// is read until the block is written.
inline constexpr std::int64_t kBlocksAhead = 4;

// Reads block b's input, on the calling thread, for b = 0, 1, 2 ... in turn;
// false when there is no block b.
using TReadBlock = std::function<bool(std::int64_t block)>;
// Converts block b's input into its output, on either worker.
using TConvertBlock =
    std::function<void(int worker, std::int64_t block, std::string& output)>;
// Takes the output of the blocks in their order, on the calling thread.
using TWriteBlock = std::function<void(std::string_view output)>;

// Reads, converts and writes every block. Two workers take the blocks as
// they are read and become free: worker 0 on the calling thread, worker 1
// on a thread of its own, which ends before this returns; when no thread
// can be started, worker 0 takes them all. A worker never runs two blocks
// at once.
//
// An error of read or of a conversion is raised once the blocks before it
// are written; no block after it is written, and none after it is read or
// taken once it is known. An error of write is raised at once.
void ConvertBlocksInOrder(const TReadBlock& read, const TConvertBlock& convert,
                          const TWriteBlock& write);

}  // namespace bridge
