// The file operations on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/Files_internal.h"

namespace bridge::platform {
namespace files_internal {

void SetIoError() { errno = EIO; }

}  // namespace files_internal

namespace {

namespace fs = std::filesystem;
using files_internal::Allowed;
using files_internal::ParentOf;

std::string Native(std::string_view path) { return Cp1250ToUtf8(path); }

int Fd(std::intptr_t native) { return static_cast<int>(native); }

bool SyncDescriptor(int fd) {
  // Some file systems cannot flush a directory or a special file at all;
  // there is nothing more to make durable then.
  return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

// A read(2) loop: the count read, fewer only at the end, or -1 on an error.
ssize_t ReadFully(int fd, char* out, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t n = ::read(fd, out + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(total);
}

bool WriteFully(int fd, const char* in, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t n = ::write(fd, in + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    total += static_cast<std::size_t>(n);
  }
  return true;
}

// A file written this far past the last start of its write-out has the
// system start writing it out again, so that the disk works while the job
// goes on converting and Flush finds little left to wait for.
constexpr std::uint64_t kWriteOutStep = std::uint64_t{8} << 20;

void StartWriteOut(int fd) {
#if defined(__linux__)
  // Only a hint, which changes nothing of what Flush makes durable: its
  // failure shows in Flush, if it matters at all.
  static_cast<void>(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE));
#else
  static_cast<void>(fd);
#endif
}

// close(2) after the bytes were flushed: on Linux the descriptor is gone
// even when it reports EINTR, and nothing is left to write.
bool CloseDescriptor(int fd) { return ::close(fd) == 0 || errno == EINTR; }

}  // namespace

std::optional<TPathKind> ProbePath(std::string_view path) {
  if (path.empty()) return TPathKind::kNone;
  if (!Allowed(TFileOp::kProbe, path)) return std::nullopt;
  struct stat info {};
  if (::stat(Native(path).c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return TPathKind::kNone;
    return std::nullopt;
  }
  switch (info.st_mode & S_IFMT) {
    case S_IFREG:
      return TPathKind::kFile;
    case S_IFDIR:
      return TPathKind::kDirectory;
    default:
      return TPathKind::kOther;
  }
}

std::optional<std::uint64_t> FileSize(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kProbe, path)) return std::nullopt;
  struct stat info {};
  if (::stat(Native(path).c_str(), &info) != 0 ||
      (info.st_mode & S_IFMT) != S_IFREG) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

bool CreateDir(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kCreateDir, path)) return false;
  if (::mkdir(Native(path).c_str(), 0777) != 0) return false;
  return FlushDirectory(ParentOf(path));
}

bool RemoveFile(std::string_view path) {
  if (path.empty()) return true;
  if (!Allowed(TFileOp::kRemove, path)) return false;
  return ::unlink(Native(path).c_str()) == 0 || errno == ENOENT ||
         errno == ENOTDIR;
}

bool RenameFile(std::string_view from, std::string_view to) {
  if (!Allowed(TFileOp::kRename, from, to)) return false;
  return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool RenameNoReplace(std::string_view from, std::string_view to) {
  if (!Allowed(TFileOp::kRename, from, to)) return false;
  const std::string source = Native(from);
  const std::string target = Native(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(),
                  RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) return files_internal::FinishLinkRename(from, to);
  if (errno != EINVAL && errno != ENOSYS) return false;
  return files_internal::RenameByLink(from, to);
}

namespace files_internal {

// A file system without the flag: a second link fails when the target
// exists, and then the first name goes. When it cannot, the second name
// goes again, so that the file keeps one name; should that fail as well,
// the next rename finishes the job.
bool RenameByLink(std::string_view from, std::string_view to) {
  const std::string source = Native(from);
  const std::string target = Native(to);
  if (::link(source.c_str(), target.c_str()) != 0) {
    return errno == EEXIST && FinishLinkRename(from, to);
  }
  if (Allowed(TFileOp::kRemove, from) && ::unlink(source.c_str()) == 0) {
    return true;
  }
  const int error = errno;
  if (Allowed(TFileOp::kRemove, to)) ::unlink(target.c_str());
  errno = error;
  return false;
}

bool FinishLinkRename(std::string_view from, std::string_view to) {
  if (!SameFile(from, to)) {
    errno = EEXIST;
    return false;
  }
  return Allowed(TFileOp::kRemove, from) && ::unlink(Native(from).c_str()) == 0;
}

}  // namespace files_internal

bool SameFile(std::string_view a, std::string_view b) {
  if (!Allowed(TFileOp::kProbe, a) || !Allowed(TFileOp::kProbe, b)) {
    return false;
  }
  struct stat first {};
  struct stat second {};
  return ::stat(Native(a).c_str(), &first) == 0 &&
         ::stat(Native(b).c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool FlushDirectory(std::string_view path) {
  const std::string directory = path.empty() ? "." : std::string(path);
  if (!Allowed(TFileOp::kFlushDir, directory)) return false;
  const int fd =
      ::open(Native(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = SyncDescriptor(fd);
  ::close(fd);
  return flushed;
}

bool AppendToFile(std::string_view path, std::string_view bytes) {
  if (path.empty() || !Allowed(TFileOp::kAppend, path)) return false;
  // Without O_NONBLOCK a FIFO of that name would hold the process until
  // someone read it.
  const int fd =
      ::open(Native(path).c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info {};
  const bool written = ::fstat(fd, &info) == 0 &&
                       (info.st_mode & S_IFMT) == S_IFREG &&
                       WriteFully(fd, bytes.data(), bytes.size());
  return CloseDescriptor(fd) && written;
}

std::optional<std::vector<TDirEntry>> ListDirectory(std::string_view path) {
  if (!Allowed(TFileOp::kList, path)) return std::nullopt;
  std::vector<TDirEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(fs::path(Native(path)), ec);
  if (ec) return std::nullopt;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    TDirEntry item;
    item.Name = Utf8ToCp1250(it->path().filename().string());
    std::error_code statError;
    item.IsDirectory = it->is_directory(statError);
    if (!item.IsDirectory) {
      const auto size = it->file_size(statError);
      item.Size = statError ? 0 : size;
    }
    entries.push_back(std::move(item));
  }
  if (ec) return std::nullopt;
  return entries;
}

std::string RunningExecutablePath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  return Utf8ToCp1250(self.string());
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

int LastErrorCode() { return errno; }

bool ProcessRunning(int processId) {
  if (processId <= 0) return false;
  return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

// --- TFile -------------------------------------------------------------------

std::unique_ptr<TFile> TFile::Open(std::string_view path, TMode mode) {
  if (path.empty()) return nullptr;
  int flags = O_CLOEXEC;
  switch (mode) {
    case TMode::kRead:
      flags |= O_RDONLY;
      break;
    case TMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case TMode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  const bool writable = mode != TMode::kRead;
  if (!Allowed(writable ? TFileOp::kCreate : TFileOp::kOpen, path)) {
    return nullptr;
  }
  const int fd = ::open(Native(path).c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TFile>(new TFile(fd, std::string(path), writable));
}

TFile::~TFile() {
  if (FNative != kClosed) ::close(Fd(FNative));
}

std::optional<std::size_t> TFile::Read(void* buffer, std::size_t size) {
  if (FInMemory) return ReadBytes(buffer, size);
  if (FNative == kClosed || !Allowed(TFileOp::kRead, FPath))
    return std::nullopt;
  const ssize_t got = ReadFully(Fd(FNative), static_cast<char*>(buffer), size);
  if (got < 0) return std::nullopt;
  return static_cast<std::size_t>(got);
}

bool TFile::Write(const void* buffer, std::size_t size) {
  if (FNative == kClosed || !Allowed(TFileOp::kWrite, FPath)) return false;
  if (!WriteFully(Fd(FNative), static_cast<const char*>(buffer), size)) {
    return false;
  }
  FWrittenSinceWriteOut += size;
  if (FWrittenSinceWriteOut >= kWriteOutStep) {
    StartWriteOut(Fd(FNative));
    FWrittenSinceWriteOut = 0;
  }
  return true;
}

bool TFile::Seek(std::uint64_t offset) {
  if (FInMemory) {
    FBytesAt = static_cast<std::size_t>(
        std::min<std::uint64_t>(offset, FBytes.size()));
    return true;
  }
  if (FNative == kClosed || !Allowed(TFileOp::kSeek, FPath)) return false;
  return ::lseek(Fd(FNative), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::optional<std::uint64_t> TFile::Size() const {
  if (FInMemory) return FBytes.size();
  struct stat info {};
  if (FNative == kClosed || ::fstat(Fd(FNative), &info) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool TFile::Flush() {
  if (FNative == kClosed || !Allowed(TFileOp::kFlush, FPath)) return false;
  return SyncDescriptor(Fd(FNative));
}

bool TFile::Close() {
  if (FNative == kClosed) return true;
  const bool allowed = !FWritable || Allowed(TFileOp::kClose, FPath);
  const bool closed = CloseDescriptor(Fd(FNative));
  FNative = kClosed;
  return allowed && closed;
}

// --- TFileLock ---------------------------------------------------------------

namespace files_internal {

TLockTry TryLock(std::string_view path) {
  const std::string native = Native(path);
  const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return {};
  int locked;
  while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (locked == 0) {
    // The holder before removed the file as it let go: a lock on a file
    // nobody else will find holds nothing, so a new one is tried.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::stat(native.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      return {TFileLock::TResult::kHeld, false, fd};
    }
    ::close(fd);
    return {TFileLock::TResult::kBusy, true, 0};
  }
  const bool busy = errno == EWOULDBLOCK;
  ::close(fd);
  return {busy ? TFileLock::TResult::kBusy : TFileLock::TResult::kFailed, busy,
          0};
}

}  // namespace files_internal

bool TFileLock::IsHeld(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kProbe, path)) return false;
  const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // A shared lock is refused only while a holder keeps its exclusive one;
  // a job that tries meanwhile waits for it as for any holder.
  int locked;
  while ((locked = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
  }
  const bool held = locked != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

// The file goes while it is still locked, so that nobody takes a lock on a
// file that is about to disappear.
TFileLock::~TFileLock() {
  ::unlink(Native(FPath).c_str());
  ::close(Fd(FNative));
}

}  // namespace bridge::platform
