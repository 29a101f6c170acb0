// The seam through which tests make any file operation fail, or freeze the
// disk as a crash or a power cut would leave it. Every file operation of the
// platform layer asks the installed faults first; without any installed,
// nothing is asked.
#pragma once

#include <string_view>

namespace bridge::platform {

enum class TFileOp {
  kProbe,  // what a path names
  kList,   // the entries of a directory
  kOpen,   // a file opened for reading
  kRead,
  kSeek,
  kCreate,  // a file created or opened for writing
  kWrite,
  kFlush,  // a file's bytes to the disk
  kClose,  // a file that was written
  kCreateDir,
  kCopy,  // a copy as a whole, before the steps it takes
  kRename,
  kRemove,
  kFlushDir,  // a directory's entries to the disk
  kLock,
  kAppend,  // bytes added to the end of a file in one write
};

// Whether the operation changes what the disk holds. A crash between two of
// these leaves the same disk as a crash anywhere between them.
constexpr bool ChangesDisk(TFileOp op) {
  switch (op) {
    case TFileOp::kCreate:
    case TFileOp::kWrite:
    case TFileOp::kFlush:
    case TFileOp::kClose:
    case TFileOp::kCreateDir:
    case TFileOp::kCopy:
    case TFileOp::kRename:
    case TFileOp::kRemove:
    case TFileOp::kFlushDir:
    case TFileOp::kAppend:
      return true;
    default:
      return false;
  }
}

class TFileFaults {
 public:
  virtual ~TFileFaults() = default;
  // Asked before the operation on a path (for a rename or a copy, the
  // source; the target follows as second). False makes the operation fail
  // as the system would report it, without touching the disk.
  virtual bool Allow(TFileOp op, std::string_view path,
                     std::string_view second) = 0;
};

}  // namespace bridge::platform
