// Files and directories. Paths are Windows-1250 text joined with "/"; this is
// the only code that hands them to the operating system, as UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bridge::platform {

inline constexpr char kPathDelimiter = '/';

bool FileExists(std::string_view path);  // a file, not a directory
// The size of a file, or nothing when there is no file.
std::optional<std::uint64_t> FileSize(std::string_view path);
bool DirectoryExists(std::string_view path);  // a directory
// Creates this one directory; its parent must exist. False when that fails.
bool CreateDir(std::string_view path);
// Copies a file, replacing the target. On failure gives false and sets
// errorCode to the system's error number.
bool CopyFileOverwrite(std::string_view from, std::string_view to,
                       int& errorCode);
bool DeleteFile(std::string_view path);
// Renames, replacing the target, within one file system.
bool RenameFile(std::string_view from, std::string_view to);

struct TDirEntry {
  std::string Name;  // the entry's name alone
  bool IsDirectory = false;
  std::uint64_t Size = 0;  // bytes, for files
};
// The entries of a directory other than "." and "..", in no set order; an
// unreadable directory gives none.
std::vector<TDirEntry> ListDirectory(std::string_view path);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(std::string_view path);

// The directory part of a path, without its final delimiter ("" for none),
// and the name after the last delimiter.
std::string ExtractFileDir(std::string_view path);
std::string ExtractFileName(std::string_view path);

// The full path of the running executable.
std::string RunningExecutablePath();

// A file opened for binary access, closed by the destructor.
class TFile {
 public:
  enum class TMode { kRead, kReadWrite, kCreate };
  // Gives nothing when the file cannot be opened in that mode; kCreate makes
  // an empty file, replacing one that is there.
  static std::unique_ptr<TFile> Open(std::string_view path, TMode mode);
  ~TFile();
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Reads up to size bytes at the current position; gives the count read.
  std::size_t Read(void* buffer, std::size_t size);
  // Writes all bytes at the current position; false when that fails.
  bool Write(const void* buffer, std::size_t size);
  bool Seek(std::uint64_t offset);
  bool SeekEnd();
  std::uint64_t Size() const;
  bool Flush();

 private:
  explicit TFile(int fd) : FFd(fd) {}
  int FFd;
};

// Writes a file that no reader may see half-written: the bytes go to a
// temporary file beside the target, and Commit renames it into place. The
// destructor removes the temporary file unless it was committed, so an error
// unwinding past an uncommitted write leaves the old file as it was.
class TReplaceOnCommit {
 public:
  // Gives nothing when the temporary file cannot be created.
  static std::unique_ptr<TReplaceOnCommit> Begin(std::string_view target);
  ~TReplaceOnCommit();
  TReplaceOnCommit(const TReplaceOnCommit&) = delete;
  TReplaceOnCommit& operator=(const TReplaceOnCommit&) = delete;

  bool Write(std::string_view bytes);
  // Flushes and renames into place; false when anything failed, and then
  // the target is untouched.
  bool Commit();
  const std::string& TemporaryPath() const { return FTemporary; }

 private:
  TReplaceOnCommit(std::string target, std::string temporary,
                   std::unique_ptr<TFile> file);
  std::string FTarget;
  std::string FTemporary;
  std::unique_ptr<TFile> FFile;
  bool FFailed = false;
  bool FCommitted = false;
};

}  // namespace bridge::platform
