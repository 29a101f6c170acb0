// Files and directories. Paths are Windows-1250 text joined with
// kPathDelimiter; this is the only code that hands them to the operating
// system, as UTF-8 on POSIX and UTF-16 on Windows.
//
// Every operation that can fail says so in its result, and every one asks
// the installed file faults first (platform/FileFaults.h), so tests can make
// any step fail or stop there.
//
// On Windows an open, rename, copy or delete that meets a file another
// program holds for a moment (a virus scanner, the indexer, a backup, the
// devices' synchronisation) is tried again for up to about two seconds
// before it fails; a read-only file or a directory in the way fails at once.
// Paths of any length and network paths ("\\server\share\...") are taken
// as they are written.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bridge::platform {

#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif
// Whether c separates the parts of a path: "/", and on Windows "\" too.
constexpr bool IsPathDelimiter(char c) {
  return c == '/' || c == kPathDelimiter;
}

enum class TPathKind { kNone, kFile, kDirectory, kOther };

// What a path names. Nothing when that cannot be told (no permission to
// look, an I/O error, a share that went away): that is not "no file".
[[nodiscard]] std::optional<TPathKind> ProbePath(std::string_view path);
// A file, not a directory; a path that cannot be looked at counts as none.
bool FileExists(std::string_view path);
// The size of a file, or nothing when there is no file.
std::optional<std::uint64_t> FileSize(std::string_view path);
bool DirectoryExists(std::string_view path);  // a directory

// Creates this one directory; its parent must exist. The parent is flushed,
// so the new directory outlives a power cut. False when that fails, and
// always for a drive's or a share's root ("C:\", "\\server\share"), which
// no program creates.
[[nodiscard]] bool CreateDir(std::string_view path);
// Copies a file, replacing the target, and flushes the copy and its
// directory. On failure gives false and sets errorCode to the system's error
// number.
[[nodiscard]] bool CopyFileDurably(std::string_view from, std::string_view to,
                                   int& errorCode);
// Removes a file. True when no file is left at the path, also when there
// was none; false when it could not be removed (locked, no permission, a
// directory of that name).
[[nodiscard]] bool RemoveFile(std::string_view path);
// Renames, replacing the target, within one file system.
[[nodiscard]] bool RenameFile(std::string_view from, std::string_view to);
// Renames unless the target exists; false then, or when the rename fails.
[[nodiscard]] bool RenameNoReplace(std::string_view from, std::string_view to);
// Makes the names created, renamed and removed in a directory durable.
[[nodiscard]] bool FlushDirectory(std::string_view path);

struct TDirEntry {
  std::string Name;  // the entry's name alone
  bool IsDirectory = false;
  std::uint64_t Size = 0;  // bytes, for files
};
// The entries of a directory other than "." and "..", in no set order;
// nothing when the directory cannot be read.
[[nodiscard]] std::optional<std::vector<TDirEntry>> ListDirectory(
    std::string_view path);

// The whole content of a file, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(std::string_view path);

// The directory part of a path, without its final delimiter ("" for none),
// and the name after the last delimiter.
std::string ExtractFileDir(std::string_view path);
std::string ExtractFileName(std::string_view path);

// The full path of the running executable.
std::string RunningExecutablePath();
// This process's number, and whether a process of that number runs.
int CurrentProcessId();
bool ProcessRunning(int processId);

// A file opened for binary access. The destructor closes it; a file that
// was written is closed with Close, which reports what the system reports.
class TFile {
 public:
  enum class TMode { kRead, kReadWrite, kCreate };
  // Gives nothing when the file cannot be opened in that mode; kCreate makes
  // an empty file, replacing one that is there.
  [[nodiscard]] static std::unique_ptr<TFile> Open(std::string_view path,
                                                   TMode mode);
  ~TFile();
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Reads up to size bytes at the current position; gives the count read,
  // fewer only at the end of the file, or nothing on a read error.
  [[nodiscard]] std::optional<std::size_t> Read(void* buffer, std::size_t size);
  // Writes all bytes at the current position; false when that fails.
  [[nodiscard]] bool Write(const void* buffer, std::size_t size);
  [[nodiscard]] bool Seek(std::uint64_t offset);
  [[nodiscard]] std::optional<std::uint64_t> Size() const;
  // Makes the bytes written durable.
  [[nodiscard]] bool Flush();
  // Closes the file; false when the system reports that the close failed.
  [[nodiscard]] bool Close();
  const std::string& Path() const { return FPath; }

 private:
  // A file descriptor on POSIX, a HANDLE on Windows; kClosed once closed.
  using TNative = std::intptr_t;
  static constexpr TNative kClosed = -1;
  TFile(TNative native, std::string path, bool writable)
      : FNative(native), FPath(std::move(path)), FWritable(writable) {}
  TNative FNative;
  std::string FPath;
  bool FWritable;
};

// Writes a file that no reader may see half-written: the bytes go to a
// temporary file beside the target, and Commit makes them durable and
// renames the file into place. The destructor removes the temporary file
// unless it was committed or released, so an error unwinding past an
// uncommitted write leaves the old file as it was.
class TReplaceOnCommit {
 public:
  // temporary names the temporary file; without one it is the target's
  // name with this process's number and ".tmp" (TemporaryPathOf). Gives
  // nothing when the temporary file cannot be created.
  [[nodiscard]] static std::unique_ptr<TReplaceOnCommit> Begin(
      std::string_view target, std::string_view temporary = {});
  ~TReplaceOnCommit();
  TReplaceOnCommit(const TReplaceOnCommit&) = delete;
  TReplaceOnCommit& operator=(const TReplaceOnCommit&) = delete;

  [[nodiscard]] bool Write(std::string_view bytes);
  // Prepare, then Publish; false when anything failed, and then the target
  // is untouched.
  [[nodiscard]] bool Commit();
  // Makes the temporary file durable and closes it.
  [[nodiscard]] bool Prepare();
  // Renames the prepared file into place and flushes its directory.
  [[nodiscard]] bool Publish();
  // Hands the prepared temporary file over to the caller: the destructor
  // leaves it alone.
  void Release() { FReleased = true; }
  const std::string& TemporaryPath() const { return FTemporary; }

  // "<target>.<process number>.tmp": a name of this process's own, so that
  // writers in two processes never share a temporary file.
  static std::string TemporaryPathOf(std::string_view target);
  // Removes the temporary files of target that processes which no longer
  // run left behind. What cannot be removed stays for a later attempt.
  static void RemoveAbandoned(std::string_view target);

 private:
  TReplaceOnCommit(std::string target, std::string temporary,
                   std::unique_ptr<TFile> file);
  std::string FTarget;
  std::string FTemporary;
  std::unique_ptr<TFile> FFile;
  bool FFailed = false;
  bool FPrepared = false;
  bool FCommitted = false;
  bool FReleased = false;
};

// An exclusive lock on a file, held until destroyed, which also removes the
// file. The system releases the lock when the process ends in any way, so a
// crashed holder blocks nobody; the file it leaves goes with the next holder.
class TFileLock {
 public:
  enum class TResult { kHeld, kBusy, kFailed };
  // Creates the lock file when needed and tries to lock it for up to wait.
  // kBusy: another holder kept it all that time; kFailed: the file could not
  // be created or locked.
  [[nodiscard]] static std::unique_ptr<TFileLock> Acquire(
      std::string_view path, std::chrono::milliseconds wait, TResult& result);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

 private:
  TFileLock(std::intptr_t native, std::string path)
      : FNative(native), FPath(std::move(path)) {}
  std::intptr_t FNative;  // as TFile's
  std::string FPath;
};

}  // namespace bridge::platform
