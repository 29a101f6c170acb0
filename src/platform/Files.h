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
// Whether a write may replace a file that is at its target already.
enum class TExisting { kReplace, kKeep };
// Copies a file as TReplaceOnCommit writes one, so that the copy appears
// under its name only whole and durable. With kKeep a file that is at the
// target already stays, and the copy fails. On failure gives false and sets
// errorCode to the system's error number.
[[nodiscard]] bool CopyFileDurably(std::string_view from, std::string_view to,
                                   int& errorCode,
                                   TExisting existing = TExisting::kReplace);
// Removes a file. True when no file is left at the path, also when there
// was none; false when it could not be removed (locked, no permission, a
// directory of that name).
[[nodiscard]] bool RemoveFile(std::string_view path);
// Renames, replacing the target, within one file system.
[[nodiscard]] bool RenameFile(std::string_view from, std::string_view to);
// Renames unless the target exists; false then, or when the rename fails.
// Where the system cannot rename so in one step, the file gets its new name
// as a second name and then loses the first: a target that is that second
// name already, left by a rename that stopped in between, ends the rename.
[[nodiscard]] bool RenameNoReplace(std::string_view from, std::string_view to);
// Whether both paths name one file, under two names.
[[nodiscard]] bool SameFile(std::string_view a, std::string_view b);
// Makes the names created, renamed and removed in a directory durable.
[[nodiscard]] bool FlushDirectory(std::string_view path);
// Adds bytes at the end of a file, creating it when needed, with one write
// of the system's, so that what two processes append at once never
// interleaves. Nothing is flushed. False when the path is no file or the
// write fails.
[[nodiscard]] bool AppendToFile(std::string_view path, std::string_view bytes);

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
// A file name with its extension (from its last ".", unless that begins
// the name) replaced by extension, which brings its own ".".
std::string ChangeFileExt(std::string_view fileName,
                          std::string_view extension);

// The full path of the running executable.
std::string RunningExecutablePath();
// This process's number, and whether a process of that number runs.
int CurrentProcessId();
bool ProcessRunning(int processId);
// The system's number of the last error of this thread.
int LastErrorCode();

// A file opened for binary access. The destructor closes it; a file that
// was written is closed with Close, which reports what the system reports.
class TFile {
 public:
  enum class TMode { kRead, kReadWrite, kCreate };
  // Gives nothing when the file cannot be opened in that mode; kCreate makes
  // an empty file, replacing one that is there.
  [[nodiscard]] static std::unique_ptr<TFile> Open(std::string_view path,
                                                   TMode mode);
  // A file open for reading whose bytes are in memory already: it reads as
  // a file of those bytes at path would, without asking the system, so that
  // what reads files can read bytes from elsewhere.
  static std::unique_ptr<TFile> FromBytes(std::string_view path,
                                          std::string bytes);
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
  // The reads of a file from memory.
  std::optional<std::size_t> ReadBytes(void* buffer, std::size_t size);
  TNative FNative;
  std::string FPath;
  bool FWritable;
  bool FInMemory = false;
  // Bytes written since the system last started writing the file out, on
  // the systems that can be asked to.
  std::uint64_t FWrittenSinceWriteOut = 0;
  std::string FBytes;
  std::size_t FBytesAt = 0;
};

// The program's one way to write a file durably, which no reader may see
// half-written: the bytes go to a temporary file beside the target, and
// Commit makes them durable (flushed and closed), renames the file into
// place and flushes the directory. The destructor removes the temporary
// file unless it was committed or released, so an error unwinding past an
// uncommitted write leaves the old file as it was.
class TReplaceOnCommit {
 public:
  // Creates the temporary file TemporaryPathOf(target); nothing when it
  // cannot be created.
  [[nodiscard]] static std::unique_ptr<TReplaceOnCommit> Begin(
      std::string_view target);
  ~TReplaceOnCommit();
  TReplaceOnCommit(const TReplaceOnCommit&) = delete;
  TReplaceOnCommit& operator=(const TReplaceOnCommit&) = delete;

  // Writes at the current position; false once any write failed.
  [[nodiscard]] bool Write(std::string_view bytes);
  // Writes at an offset; the position is after the bytes then.
  [[nodiscard]] bool WriteAt(std::uint64_t offset, std::string_view bytes);
  // Prepare, then Publish; false when anything failed, and then the target
  // is untouched.
  [[nodiscard]] bool Commit(TExisting existing = TExisting::kReplace);
  // Makes the temporary file durable and closes it.
  [[nodiscard]] bool Prepare();
  // Renames the prepared file into place and flushes its directory; with
  // kKeep only while nothing is at the target.
  [[nodiscard]] bool Publish(TExisting existing = TExisting::kReplace);
  // Ends the write without a file: the temporary file goes now; false when
  // it stays.
  [[nodiscard]] bool Discard();
  // Hands the prepared temporary file over to the caller: the destructor
  // leaves it alone.
  void Release() { FReleased = true; }
  const std::string& TemporaryPath() const { return FTemporary; }

  // "<target>.<process number>.tmp": a name of this process's own, so that
  // writers in two processes never share a temporary file, and that no
  // device or host takes for one of its files.
  static std::string TemporaryPathOf(std::string_view target);

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

// A temporary file of a TReplaceOnCommit as found in a directory:
// "<target>.<process>.tmp", or "<target>.tmp" as earlier versions of the
// program named theirs.
struct TTemporary {
  std::string Path;
  std::string Target;  // the name of the file it was to become
  int ProcessId = 0;   // 0 for the earlier form
  // Whether the process that wrote it has ended, so that nobody will
  // finish it.
  bool Abandoned() const;
};
// The temporary files in a directory; nothing when it cannot be read.
[[nodiscard]] std::optional<std::vector<TTemporary>> ListTemporaries(
    std::string_view directory);

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
  // Whether someone holds the lock at path now. The look neither creates
  // the file nor keeps a lock; a lock that cannot be looked at counts as
  // not held.
  [[nodiscard]] static bool IsHeld(std::string_view path);

 private:
  TFileLock(std::intptr_t native, std::string path)
      : FNative(native), FPath(std::move(path)) {}
  std::intptr_t FNative;  // as TFile's
  std::string FPath;
};

}  // namespace bridge::platform
