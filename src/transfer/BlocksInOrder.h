// Numbered blocks of work converted on two threads and written in their
// order: the receive of a large table, whose records are converted block by
// block while one writer keeps the lines in the order of the records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bridge {

// Converts the blocks 0 to count - 1 into lines and gives the lines of each
// block to write, in the order of the blocks, on the calling thread. Two
// workers take the blocks as they become free: worker 0 on the calling
// thread, worker 1 on a thread of its own, which ends before this returns;
// when no thread can be started, worker 0 takes them all. A worker never
// runs two blocks at once, and at most four blocks are converted ahead of
// the writer.
//
// The error of a conversion is raised once the blocks before it are
// written; no block after it is written, and no worker starts one more
// than it needs. An error of write is raised at once.
using TConvertBlock =
    std::function<void(int worker, std::int64_t block, std::string& lines)>;
using TWriteBlock = std::function<void(std::string_view lines)>;
void ConvertBlocksInOrder(std::int64_t count, const TConvertBlock& convert,
                          const TWriteBlock& write);

}  // namespace bridge
