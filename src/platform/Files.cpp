#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Cp1250.h"

namespace bridge::platform {
namespace {

namespace fs = std::filesystem;

std::string Native(std::string_view path) { return Cp1250ToUtf8(path); }

bool StatIs(std::string_view path, mode_t kind) {
  struct stat info {};
  if (path.empty() || ::stat(Native(path).c_str(), &info) != 0) return false;
  return (info.st_mode & S_IFMT) == kind;
}

std::size_t LastDelimiter(std::string_view path) {
  return path.find_last_of(kPathDelimiter);
}

}  // namespace

bool FileExists(std::string_view path) { return StatIs(path, S_IFREG); }

bool DirectoryExists(std::string_view path) { return StatIs(path, S_IFDIR); }

std::optional<std::uint64_t> FileSize(std::string_view path) {
  struct stat info {};
  if (path.empty() || ::stat(Native(path).c_str(), &info) != 0 ||
      (info.st_mode & S_IFMT) != S_IFREG) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

bool CreateDir(std::string_view path) {
  if (path.empty()) return false;
  return ::mkdir(Native(path).c_str(), 0777) == 0;
}

bool CopyFileOverwrite(std::string_view from, std::string_view to,
                       int& errorCode) {
  std::error_code ec;
  fs::copy_file(fs::path(Native(from)), fs::path(Native(to)),
                fs::copy_options::overwrite_existing, ec);
  errorCode = ec.value();
  return !ec;
}

bool DeleteFile(std::string_view path) {
  return !path.empty() && ::unlink(Native(path).c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
  return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

std::vector<TDirEntry> ListDirectory(std::string_view path) {
  std::vector<TDirEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(fs::path(Native(path)), ec);
  if (ec) return entries;
  for (const fs::directory_entry& entry : it) {
    TDirEntry item;
    item.Name = Utf8ToCp1250(entry.path().filename().string());
    std::error_code statError;
    item.IsDirectory = entry.is_directory(statError);
    if (!item.IsDirectory) {
      const auto size = entry.file_size(statError);
      item.Size = statError ? 0 : size;
    }
    entries.push_back(std::move(item));
  }
  return entries;
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
  auto file = TFile::Open(path, TFile::TMode::kRead);
  if (!file) return std::nullopt;
  std::string content;
  content.resize(static_cast<std::size_t>(file->Size()));
  const std::size_t got = file->Read(content.data(), content.size());
  content.resize(got);
  // A file that grew while being read is read to its end.
  char chunk[65536];
  for (std::size_t n; (n = file->Read(chunk, sizeof chunk)) > 0;) {
    content.append(chunk, n);
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

std::unique_ptr<TFile> TFile::Open(std::string_view path, TMode mode) {
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
  if (path.empty()) return nullptr;
  const int fd = ::open(Native(path).c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TFile>(new TFile(fd));
}

TFile::~TFile() { ::close(FFd); }

std::size_t TFile::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const ssize_t n = ::read(FFd, out + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += static_cast<std::size_t>(n);
  }
  return total;
}

bool TFile::Write(const void* buffer, std::size_t size) {
  const auto* in = static_cast<const char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const ssize_t n = ::write(FFd, in + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    total += static_cast<std::size_t>(n);
  }
  return true;
}

bool TFile::Seek(std::uint64_t offset) {
  return ::lseek(FFd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool TFile::SeekEnd() { return ::lseek(FFd, 0, SEEK_END) >= 0; }

std::uint64_t TFile::Size() const {
  struct stat info {};
  if (::fstat(FFd, &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

bool TFile::Flush() { return ::fsync(FFd) == 0 || errno == EINVAL; }

std::unique_ptr<TReplaceOnCommit> TReplaceOnCommit::Begin(
    std::string_view target) {
  static std::atomic<unsigned> counter{0};
  std::string temporary = std::string(target) + ".tmp" +
                          std::to_string(::getpid()) + "_" +
                          std::to_string(counter++);
  auto file = TFile::Open(temporary, TFile::TMode::kCreate);
  if (!file) return nullptr;
  return std::unique_ptr<TReplaceOnCommit>(new TReplaceOnCommit(
      std::string(target), std::move(temporary), std::move(file)));
}

TReplaceOnCommit::TReplaceOnCommit(std::string target, std::string temporary,
                                   std::unique_ptr<TFile> file)
    : FTarget(std::move(target)),
      FTemporary(std::move(temporary)),
      FFile(std::move(file)) {}

TReplaceOnCommit::~TReplaceOnCommit() {
  FFile.reset();
  if (!FCommitted) DeleteFile(FTemporary);
}

bool TReplaceOnCommit::Write(std::string_view bytes) {
  if (FFailed || !FFile) return false;
  if (!FFile->Write(bytes.data(), bytes.size())) FFailed = true;
  return !FFailed;
}

bool TReplaceOnCommit::Commit() {
  if (FCommitted) return true;
  if (FFailed || !FFile || !FFile->Flush()) return false;
  FFile.reset();
  if (!RenameFile(FTemporary, FTarget)) return false;
  FCommitted = true;
  return true;
}

}  // namespace bridge::platform
