// The file operations on Windows: the wide-character API with UTF-16 names,
// binary files shared for reading, writing and deleting, 64-bit sizes and
// offsets, FlushFileBuffers, and renames written through to the disk.
#include <windows.h>

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

std::wstring Wide(std::string_view path) {
  const std::u16string utf16 = Cp1250ToUtf16(path);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view text) {
  return Utf16ToCp1250(std::u16string(text.begin(), text.end()));
}

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
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
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
  if (::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard,
                             &data) == 0 ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool CreateDir(std::string_view path) {
  if (path.empty() || !Allowed(TFileOp::kCreateDir, path)) return false;
  if (::CreateDirectoryW(Wide(path).c_str(), nullptr) == 0) return false;
  return FlushDirectory(ParentOf(path));
}

bool RemoveFile(std::string_view path) {
  if (path.empty()) return true;
  if (!Allowed(TFileOp::kRemove, path)) return false;
  return ::DeleteFileW(Wide(path).c_str()) != 0 || IsMissing(::GetLastError());
}

bool RenameFile(std::string_view from, std::string_view to) {
  if (!Allowed(TFileOp::kRename, from, to)) return false;
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RenameNoReplace(std::string_view from, std::string_view to) {
  if (!Allowed(TFileOp::kRename, from, to)) return false;
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_WRITE_THROUGH) != 0;
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
      ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
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
  std::wstring pattern = Wide(path);
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
    entry.Name = Narrow(name);
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
      return Narrow(path);
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
        ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
  const HANDLE handle =
      ::CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
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
      Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
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
      ::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

TFileLock::~TFileLock() { ::CloseHandle(AsHandle(FNative)); }

}  // namespace bridge::platform
