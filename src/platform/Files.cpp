#include "platform/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/Cp1250.h"
#include "platform/FileFaults.h"
#include "platform/System.h"

namespace bridge::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCopyChunk = std::size_t{1} << 20;
constexpr auto kLockPoll = std::chrono::milliseconds(50);

std::string Native(std::string_view path) { return Cp1250ToUtf8(path); }

// Asks the installed faults; a refused step fails as an I/O error would.
bool Allowed(TFileOp op, std::string_view path, std::string_view second = {}) {
  TFileFaults* faults = System().Faults.get();
  if (faults == nullptr || faults->Allow(op, path, second)) return true;
  errno = EIO;
  return false;
}

std::size_t LastDelimiter(std::string_view path) {
  return path.find_last_of(kPathDelimiter);
}

// The directory that holds the entry a path names; "." for a bare name.
std::string ParentOf(std::string_view path) {
  while (path.size() > 1 && path.back() == kPathDelimiter) {
    path.remove_suffix(1);
  }
  const std::string parent = ExtractFileDir(path);
  return parent.empty() ? "." : parent;
}

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

bool FileExists(std::string_view path) {
  return ProbePath(path) == TPathKind::kFile;
}

bool DirectoryExists(std::string_view path) {
  return ProbePath(path) == TPathKind::kDirectory;
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

bool CopyFileDurably(std::string_view from, std::string_view to,
                     int& errorCode) {
  errorCode = 0;
  if (!Allowed(TFileOp::kCopy, from, to)) {
    errorCode = errno;
    return false;
  }
  const int source = ::open(Native(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) {
    errorCode = errno;
    return false;
  }
  const int target = ::open(Native(to).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (target < 0) {
    errorCode = errno;
    ::close(source);
    return false;
  }
  std::string chunk(kCopyChunk, '\0');
  bool copied = true;
  for (;;) {
    const ssize_t got = ReadFully(source, chunk.data(), chunk.size());
    if (got < 0 ||
        !WriteFully(target, chunk.data(), static_cast<std::size_t>(got))) {
      copied = false;
      break;
    }
    if (static_cast<std::size_t>(got) < chunk.size()) break;
  }
  copied = copied && SyncDescriptor(target);
  if (!copied) errorCode = errno;
  ::close(source);
  if (!CloseDescriptor(target) && copied) {
    copied = false;
    errorCode = errno;
  }
  if (copied && !FlushDirectory(ParentOf(to))) {
    copied = false;
    errorCode = errno;
  }
  return copied;
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
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a second link fails when the target
  // exists, and then the first name goes.
  if (::link(source.c_str(), target.c_str()) != 0) return false;
  return ::unlink(source.c_str()) == 0;
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

std::optional<std::string> ReadWholeFile(std::string_view path) {
  auto file = TFile::Open(path, TFile::TMode::kRead);
  if (!file) return std::nullopt;
  const auto size = file->Size();
  if (!size) return std::nullopt;
  std::string content(static_cast<std::size_t>(*size), '\0');
  const auto got = file->Read(content.data(), content.size());
  if (!got) return std::nullopt;
  content.resize(*got);
  // A file that grew while being read is read to its end.
  char chunk[65536];
  for (;;) {
    const auto more = file->Read(chunk, sizeof chunk);
    if (!more) return std::nullopt;
    if (*more == 0) break;
    content.append(chunk, *more);
  }
  return content;
}

std::string ExtractFileDir(std::string_view path) {
  const std::size_t at = LastDelimiter(path);
  if (at == std::string_view::npos) return "";
  if (at == 0) return std::string(1, kPathDelimiter);
  return std::string(path.substr(0, at));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t at = LastDelimiter(path);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string RunningExecutablePath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  return Utf8ToCp1250(self.string());
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

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
  if (FFd >= 0) ::close(FFd);
}

std::optional<std::size_t> TFile::Read(void* buffer, std::size_t size) {
  if (FFd < 0 || !Allowed(TFileOp::kRead, FPath)) return std::nullopt;
  const ssize_t got = ReadFully(FFd, static_cast<char*>(buffer), size);
  if (got < 0) return std::nullopt;
  return static_cast<std::size_t>(got);
}

bool TFile::Write(const void* buffer, std::size_t size) {
  if (FFd < 0 || !Allowed(TFileOp::kWrite, FPath)) return false;
  return WriteFully(FFd, static_cast<const char*>(buffer), size);
}

bool TFile::Seek(std::uint64_t offset) {
  if (FFd < 0 || !Allowed(TFileOp::kSeek, FPath)) return false;
  return ::lseek(FFd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::optional<std::uint64_t> TFile::Size() const {
  struct stat info {};
  if (FFd < 0 || ::fstat(FFd, &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool TFile::Flush() {
  if (FFd < 0 || !Allowed(TFileOp::kFlush, FPath)) return false;
  return SyncDescriptor(FFd);
}

bool TFile::Close() {
  if (FFd < 0) return true;
  const bool allowed = !FWritable || Allowed(TFileOp::kClose, FPath);
  const bool closed = CloseDescriptor(FFd);
  FFd = -1;
  return allowed && closed;
}

// --- TReplaceOnCommit --------------------------------------------------------

std::string TReplaceOnCommit::TemporaryPathOf(std::string_view target) {
  return std::string(target) + "." + std::to_string(CurrentProcessId()) +
         ".tmp";
}

void TReplaceOnCommit::RemoveAbandoned(std::string_view target) {
  const std::string directory = ExtractFileDir(target);
  const std::string prefix = ExtractFileName(target) + ".";
  const auto entries = ListDirectory(directory.empty() ? "." : directory);
  if (!entries) return;
  for (const TDirEntry& entry : *entries) {
    std::string_view name = entry.Name;
    if (entry.IsDirectory || !name.starts_with(prefix) ||
        !name.ends_with(".tmp")) {
      continue;
    }
    name = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    int processId = 0;
    const auto [end, error] =
        std::from_chars(name.data(), name.data() + name.size(), processId);
    if (name.empty() || error != std::errc() ||
        end != name.data() + name.size() || processId == CurrentProcessId() ||
        ProcessRunning(processId)) {
      continue;
    }
    static_cast<void>(
        RemoveFile(directory + kPathDelimiter + std::string(entry.Name)));
  }
}

std::unique_ptr<TReplaceOnCommit> TReplaceOnCommit::Begin(
    std::string_view target, std::string_view temporary) {
  std::string path =
      temporary.empty() ? TemporaryPathOf(target) : std::string(temporary);
  auto file = TFile::Open(path, TFile::TMode::kCreate);
  if (!file) return nullptr;
  return std::unique_ptr<TReplaceOnCommit>(new TReplaceOnCommit(
      std::string(target), std::move(path), std::move(file)));
}

TReplaceOnCommit::TReplaceOnCommit(std::string target, std::string temporary,
                                   std::unique_ptr<TFile> file)
    : FTarget(std::move(target)),
      FTemporary(std::move(temporary)),
      FFile(std::move(file)) {}

TReplaceOnCommit::~TReplaceOnCommit() {
  FFile.reset();
  if (!FCommitted && !FReleased) {
    // Nothing more can be done about a temporary file that stays: the next
    // job of the device removes it.
    static_cast<void>(RemoveFile(FTemporary));
  }
}

bool TReplaceOnCommit::Write(std::string_view bytes) {
  if (FFailed || !FFile) return false;
  if (!FFile->Write(bytes.data(), bytes.size())) FFailed = true;
  return !FFailed;
}

bool TReplaceOnCommit::Prepare() {
  if (FPrepared) return true;
  if (FFailed || !FFile) return false;
  const bool flushed = FFile->Flush();
  const bool closed = FFile->Close();
  FFile.reset();
  FPrepared = flushed && closed;
  FFailed = !FPrepared;
  return FPrepared;
}

bool TReplaceOnCommit::Publish() {
  if (FCommitted) return true;
  if (!FPrepared || !RenameFile(FTemporary, FTarget)) return false;
  FCommitted = true;
  return FlushDirectory(ParentOf(FTarget));
}

bool TReplaceOnCommit::Commit() { return Prepare() && Publish(); }

// --- TFileLock ---------------------------------------------------------------

std::unique_ptr<TFileLock> TFileLock::Acquire(std::string_view path,
                                              std::chrono::milliseconds wait,
                                              TResult& result) {
  result = TResult::kFailed;
  if (path.empty() || !Allowed(TFileOp::kLock, path)) return nullptr;
  const std::string native = Native(path);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    int locked;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked == 0) {
      // The holder before removed the file as it let go: this lock is on a
      // file nobody else will find, so the new one is tried.
      struct stat held {};
      struct stat named {};
      if (::fstat(fd, &held) == 0 && ::stat(native.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        result = TResult::kHeld;
        return std::unique_ptr<TFileLock>(new TFileLock(fd, native));
      }
      ::close(fd);
      continue;
    }
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    if (!busy) return nullptr;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      result = TResult::kBusy;
      return nullptr;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        kLockPoll, deadline - now));
  }
}

// The file goes while it is still locked, so that nobody takes a lock on a
// file that is about to disappear.
TFileLock::~TFileLock() {
  ::unlink(FNativePath.c_str());
  ::close(FFd);
}

}  // namespace bridge::platform
