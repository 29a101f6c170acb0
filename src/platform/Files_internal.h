// What the two implementations of the file operations share: the fault seam
// and the split of a path. Only platform/Files*.cpp include this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileFaults.h"
#include "platform/Files.h"

namespace bridge::platform::files_internal {

// Asks the installed faults; a step they refuse fails as an I/O error of
// the system would, with the system's error number set to one.
bool Allowed(TFileOp op, std::string_view path, std::string_view second = {});
// Sets the system's error number to an I/O error.
void SetIoError();
// The directory that holds the entry a path names; "." for a bare name.
std::string ParentOf(std::string_view path);

// One try at a lock file: held, with its native handle; or not, with what
// the result would be if the wait ended now and whether trying again later
// may succeed.
struct TLockTry {
  TFileLock::TResult Result = TFileLock::TResult::kFailed;
  bool Again = false;
  std::intptr_t Native = 0;
};
TLockTry TryLock(std::string_view path);

#ifndef _WIN32
// RenameNoReplace by a second link where the system cannot rename without
// replacing in one step; apart, so that tests can take that way.
bool RenameByLink(std::string_view from, std::string_view to);
// Ends a rename by link that stopped with both names: when the target is
// the same file, the first name goes; otherwise the target is in the way.
bool FinishLinkRename(std::string_view from, std::string_view to);
#endif

}  // namespace bridge::platform::files_internal
