// The file operations on Windows: the wide-character API with UTF-16 names,
// binary files shared for reading, writing and deleting, 64-bit sizes and
// offsets, FlushFileBuffers, and renames written through to the disk. Long
// paths reach the system in their extended form, and a file that another
// program holds for a moment is waited for.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/Files_internal.h"

namespace bridge::platform {
namespace files_internal {

void SetIoError() { ::SetLastError(ERROR_IO_DEVICE); }

}  // namespace files_internal

namespace {

using files_internal::Allowed;
using files_internal::ParentOf;

constexpr DWORD kIoChunk = DWORD{1} << 20;
constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";
// From this length on a path goes to the system in the extended form: the
// plain form of a directory must leave room for a short file name below
// MAX_PATH, and the extended form has no such limit.
constexpr std::size_t kLongPath = MAX_PATH - 12;

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:\..." or "\\server\share\...": a path that needs no current directory.
bool IsAbsolute(std::wstring_view path) {
  return (path.size() >= 3 && path[1] == L':' && IsDelimiter(path[2])) ||
         (path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1]));
}

// The path as the wide-character API takes it. A path that is, or resolves
// to, kLongPath characters or more goes in the extended form ("\\?\C:\..."
// or "\\?\UNC\server\share\..."). That form is taken literally, so it is
// made from the full path, with "\" only and nothing relative left in it.
// Every other path goes as it is, and what the program shows is always the
// path as it was given.
std::wstring ApiPath(std::string_view path) {
  std::wstring wide = Cp1250ToWide(path);
  if ((IsAbsolute(wide) && wide.size() < kLongPath) ||
      wide.starts_with(kExtended) || wide.starts_with(kDevice)) {
    return wide;
  }
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length =
      ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  // A device's name resolves to "\\.\NAME", which is no file's path.
  if (full.size() < kLongPath || full.starts_with(kExtended) ||
      full.starts_with(kDevice)) {
    return wide;
  }
  if (full.starts_with(L"\\\\")) {
    return std::wstring(kExtendedUnc) + full.substr(2);
  }
  if (full.size() >= 3 && full[1] == L':') {
    return std::wstring(kExtended) + full;
  }
  return wide;
}

// A drive's root ("C:", "C:\") or a share's ("\\server", "\\server\share",
// with a final delimiter or not): none of them is made by creating a
// directory, and the attempt would only ask the network about a name.
bool IsRoot(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() == 2 || (path.size() == 3 && IsPathDelimiter(path[2]));
  }
  if (path.size() < 3 || !IsPathDelimiter(path[0]) ||
      !IsPathDelimiter(path[1])) {
    return false;
  }
  path.remove_prefix(2);
  if (IsPathDelimiter(path.back())) path.remove_suffix(1);
  int parts = 1;
  for (const char c : path) {
    if (IsPathDelimiter(c)) ++parts;
  }
  return parts <= 2;
}

// The path that GetModuleFileNameW gives, as a person writes it: a program
// started by its extended path gets that form back, and Wine gives a
// program started from a share "UNC\server\share\...", which would read as
// a relative path.
std::wstring PlainForm(std::wstring path) {
  if (path.starts_with(kExtendedUnc)) {
    return L"\\\\" + path.substr(kExtendedUnc.size());
  }
  if (path.starts_with(kExtended)) return path.substr(kExtended.size());
  if (path.starts_with(L"UNC\\")) return L"\\" + path.substr(3);
  return path;
}

// Another program may hold a file for a moment: an antivirus scanner, the
// search indexer, a backup agent or the devices' synchronisation open a new
// or changed file and let it go within a second or so. An open, a rename, a
// copy or a delete that meets such a hold fails with a sharing or a lock
// violation, or with access denied on a file that is there. The step is
// tried again, with growing pauses, for up to kBusyWait in all; then it
// fails with the error the system gave.
constexpr auto kBusyWait = std::chrono::milliseconds(2000);
constexpr auto kFirstPause = std::chrono::milliseconds(10);
constexpr auto kLongestPause = std::chrono::milliseconds(500);

// Whether access denied on these paths can come from another program that
// holds one of them: one of them is there, and each that is there is a file
// that may be written. A read-only file, a directory and a name with
// nothing behind it are refused for good.
bool MayBeHeld(const std::wstring& path, const std::wstring& second) {
  bool there = false;
  for (const std::wstring* name : {&path, &second}) {
    if (name->empty()) continue;
    const DWORD attributes = ::GetFileAttributesW(name->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      // A file deleted while another program holds it stays until that
      // program lets go, and cannot be looked at meanwhile.
      if (::GetLastError() == ERROR_ACCESS_DENIED) there = true;
      continue;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) !=
        0) {
      return false;
    }
    there = true;
  }
  return there;
}

// One file operation's retries: call Again after each failed attempt.
class TBusyRetry {
 public:
  // Whether the attempt that failed with the system's last error is worth
  // repeating; it has waited its pause then. The last error is kept.
  bool Again(const std::wstring& path, const std::wstring& second = {}) {
    const DWORD error = ::GetLastError();
    const auto now = std::chrono::steady_clock::now();
    const bool again =
        now < FDeadline &&
        (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         (error == ERROR_ACCESS_DENIED && MayBeHeld(path, second)));
    if (again) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          FDeadline - now);
      ::Sleep(static_cast<DWORD>(std::min(FPause, left).count()));
      FPause = std::min(FPause * 2, kLongestPause);
    }
    ::SetLastError(error);
    return again;
  }

 private:
  std::chrono::steady_clock::time_point FDeadline =
      std::chrono::steady_clock::now() + kBusyWait;
  std::chrono::milliseconds FPause = kFirstPause;
};

HANDLE AsHandle(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

std::intptr_t AsNative(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

// The errors that mean nothing is there, as opposed to a path that cannot
// be looked at.
bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_DIRECTORY;
}

}  // namespace

std::optional<TPathKind> ProbePath(std::string_view path) {
  if (path.empty()) return TPathKind::kNone;
  if (!Allowed(TFileOp::kProbe, path)) return std::nullopt;
  const DWORD attributes = ::GetFileAttributesW(ApiPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (IsMissing(::GetLastError())) return TPathKind::kNone;
    return std::nullopt;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return TPathKind::kDirectory;
  }
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return TPathKind::kOther;
  return TPathKind::kFile;
}

std::optional<std::uint64_t> FileSize(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kProbe, path)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExW(ApiPath(path).c_str(), GetFileExInfoStandard,
                             &data) == 0 ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool CreateDir(std::string_view path) {
  if (path.empty()) return false;
  if (IsRoot(path)) {
    ::SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  if (!Allowed(TFileOp::kCreateDir, path)) return false;
  if (::CreateDirectoryW(ApiPath(path).c_str(), nullptr) == 0) return false;
  return FlushDirectory(ParentOf(path));
}

bool RemoveFile(std::string_view path) {
  if (path.empty()) return true;
  if (!Allowed(TFileOp::kRemove, path)) return false;
  const std::wstring name = ApiPath(path);
  TBusyRetry retry;
  for (;;) {
    if (::DeleteFileW(name.c_str()) != 0 || IsMissing(::GetLastError())) {
      return true;
    }
    if (!retry.Again(name)) return false;
  }
}

namespace {

bool Move(std::string_view from, std::string_view to, DWORD flags) {
  if (!Allowed(TFileOp::kRename, from, to)) return false;
  const std::wstring source = ApiPath(from);
  const std::wstring target = ApiPath(to);
  TBusyRetry retry;
  while (::MoveFileExW(source.c_str(), target.c_str(), flags) == 0) {
    if (!retry.Again(source, target)) return false;
  }
  return true;
}

}  // namespace

bool RenameFile(std::string_view from, std::string_view to) {
  return Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool RenameNoReplace(std::string_view from, std::string_view to) {
  return Move(from, to, MOVEFILE_WRITE_THROUGH);
}

// A rename is written through to the disk by MoveFileExW itself, and a
// directory cannot be flushed on its own: the step is kept for the faults.
bool FlushDirectory(std::string_view path) {
  return Allowed(TFileOp::kFlushDir, path.empty() ? "." : path);
}

bool AppendToFile(std::string_view path, std::string_view bytes) {
  if (path.empty() || !Allowed(TFileOp::kAppend, path)) return false;
  // With only the right to append, every write goes to the end of the file
  // at the moment it is made, whoever else appends.
  const HANDLE handle =
      ::CreateFileW(ApiPath(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole =
      ::GetFileType(handle) == FILE_TYPE_DISK && bytes.size() <= kIoChunk &&
      ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()),
                  &written, nullptr) != 0 &&
      written == bytes.size();
  return ::CloseHandle(handle) != 0 && whole;
}

std::optional<std::vector<TDirEntry>> ListDirectory(std::string_view path) {
  if (!Allowed(TFileOp::kList, path)) return std::nullopt;
  std::wstring pattern = ApiPath(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<TDirEntry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    TDirEntry entry;
    entry.Name = WideToCp1250(name);
    entry.IsDirectory =
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!entry.IsDirectory) {
      entry.Size =
          (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    }
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(search, &found) != 0);
  const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(search);
  if (!complete) return std::nullopt;
  return entries;
}

std::string RunningExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(),
                                              static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      return WideToCp1250(PlainForm(std::move(path)));
    }
    path.resize(path.size() * 2);
  }
}

int CurrentProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

int LastErrorCode() { return static_cast<int>(::GetLastError()); }

bool SameFile(std::string_view a, std::string_view b) {
  if (!Allowed(TFileOp::kProbe, a) || !Allowed(TFileOp::kProbe, b)) {
    return false;
  }
  const auto identity = [](std::string_view path,
                           BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle =
        ::CreateFileW(ApiPath(path).c_str(), 0, kShareAll, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return identity(a, first) && identity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool ProcessRunning(int processId) {
  if (processId <= 0) return false;
  const HANDLE process =
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                    static_cast<DWORD>(processId));
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

// --- TFile -------------------------------------------------------------------

std::unique_ptr<TFile> TFile::Open(std::string_view path, TMode mode) {
  if (path.empty()) return nullptr;
  const bool writable = mode != TMode::kRead;
  if (!Allowed(writable ? TFileOp::kCreate : TFileOp::kOpen, path)) {
    return nullptr;
  }
  const DWORD access = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD disposition =
      mode == TMode::kCreate ? CREATE_ALWAYS : OPEN_EXISTING;
  const std::wstring name = ApiPath(path);
  TBusyRetry retry;
  HANDLE handle = INVALID_HANDLE_VALUE;
  do {
    handle = ::CreateFileW(name.c_str(), access, kShareAll, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  } while (handle == INVALID_HANDLE_VALUE && retry.Again(name));
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<TFile>(
      new TFile(AsNative(handle), std::string(path), writable));
}

TFile::~TFile() {
  if (FNative != kClosed) ::CloseHandle(AsHandle(FNative));
}

std::optional<std::size_t> TFile::Read(void* buffer, std::size_t size) {
  if (FInMemory) return ReadBytes(buffer, size);
  if (FNative == kClosed || !Allowed(TFileOp::kRead, FPath)) {
    return std::nullopt;
  }
  auto* out = static_cast<char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const auto want =
        static_cast<DWORD>(std::min<std::size_t>(size - total, kIoChunk));
    DWORD got = 0;
    if (::ReadFile(AsHandle(FNative), out + total, want, &got, nullptr) == 0) {
      return std::nullopt;
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

bool TFile::Write(const void* buffer, std::size_t size) {
  if (FNative == kClosed || !Allowed(TFileOp::kWrite, FPath)) return false;
  const auto* in = static_cast<const char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const auto want =
        static_cast<DWORD>(std::min<std::size_t>(size - total, kIoChunk));
    DWORD put = 0;
    if (::WriteFile(AsHandle(FNative), in + total, want, &put, nullptr) == 0 ||
        put == 0) {
      return false;
    }
    total += put;
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
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(AsHandle(FNative), to, nullptr, FILE_BEGIN) != 0;
}

std::optional<std::uint64_t> TFile::Size() const {
  if (FInMemory) return FBytes.size();
  LARGE_INTEGER size{};
  if (FNative == kClosed || ::GetFileSizeEx(AsHandle(FNative), &size) == 0) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool TFile::Flush() {
  if (FNative == kClosed || !Allowed(TFileOp::kFlush, FPath)) return false;
  return ::FlushFileBuffers(AsHandle(FNative)) != 0;
}

bool TFile::Close() {
  if (FNative == kClosed) return true;
  const bool allowed = !FWritable || Allowed(TFileOp::kClose, FPath);
  const bool closed = ::CloseHandle(AsHandle(FNative)) != 0;
  FNative = kClosed;
  return allowed && closed;
}

// --- TFileLock ---------------------------------------------------------------

namespace files_internal {

// The lock is the file itself, opened by one holder at a time and deleted
// by the system when that holder closes it or ends in any way.
TLockTry TryLock(std::string_view path) {
  const HANDLE handle = ::CreateFileW(
      ApiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    return {TFileLock::TResult::kHeld, false, AsNative(handle)};
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_SHARING_VIOLATION) {
    return {TFileLock::TResult::kBusy, true, 0};
  }
  // A holder that is letting go leaves the file pending deletion for a
  // moment, which reads as access denied; for good it means no permission.
  return {TFileLock::TResult::kFailed, error == ERROR_ACCESS_DENIED, 0};
}

}  // namespace files_internal

// The holder opened the file without sharing it, so any other opening is
// refused while it holds it; without a holder the file is gone.
bool TFileLock::IsHeld(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kProbe, path)) return false;
  const HANDLE handle =
      ::CreateFileW(ApiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

TFileLock::~TFileLock() { ::CloseHandle(AsHandle(FNative)); }

}  // namespace bridge::platform
