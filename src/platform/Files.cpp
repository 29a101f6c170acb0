// The file operations that both systems share: the fault seam, the split
// of a path, whole-file reading and the writes that replace a file.
#include "platform/Files.h"

#include <algorithm>
#include <charconv>
#include <thread>

#include "platform/Files_internal.h"
#include "platform/System.h"

namespace bridge::platform {
namespace {

constexpr auto kLockPoll = std::chrono::milliseconds(50);
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kCopyChunk = std::size_t{1} << 20;

std::size_t LastDelimiter(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathDelimiter(path[i - 1])) return i - 1;
  }
  return std::string_view::npos;
}

}  // namespace

namespace files_internal {

bool Allowed(TFileOp op, std::string_view path, std::string_view second) {
  TFileFaults* faults = System().Faults.get();
  if (faults == nullptr || faults->Allow(op, path, second)) return true;
  SetIoError();
  return false;
}

std::string ParentOf(std::string_view path) {
  while (path.size() > 1 && IsPathDelimiter(path.back())) path.remove_suffix(1);
  const std::string parent = ExtractFileDir(path);
  return parent.empty() ? "." : parent;
}

}  // namespace files_internal

using files_internal::ParentOf;

bool FileExists(std::string_view path) {
  return ProbePath(path) == TPathKind::kFile;
}

bool DirectoryExists(std::string_view path) {
  return ProbePath(path) == TPathKind::kDirectory;
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
  // A root keeps its delimiter: "/", and on Windows "C:\".
  const bool driveRoot = kPathDelimiter == '\\' && at == 2 && path[1] == ':';
  if (at == 0 || driveRoot) return std::string(path.substr(0, at + 1));
  return std::string(path.substr(0, at));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t at = LastDelimiter(path);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ChangeFileExt(std::string_view fileName,
                          std::string_view extension) {
  const std::size_t dot = fileName.rfind('.');
  const std::string_view stem = dot == std::string_view::npos || dot == 0
                                    ? fileName
                                    : fileName.substr(0, dot);
  return std::string(stem) + std::string(extension);
}

// --- TFile -------------------------------------------------------------------

std::unique_ptr<TFile> TFile::FromBytes(std::string_view path,
                                        std::string bytes) {
  std::unique_ptr<TFile> file(new TFile(kClosed, std::string(path), false));
  file->FInMemory = true;
  file->FBytes = std::move(bytes);
  return file;
}

std::optional<std::size_t> TFile::ReadBytes(void* buffer, std::size_t size) {
  if (!files_internal::Allowed(TFileOp::kRead, FPath)) return std::nullopt;
  const std::size_t count = std::min(size, FBytes.size() - FBytesAt);
  std::copy_n(FBytes.data() + FBytesAt, count, static_cast<char*>(buffer));
  FBytesAt += count;
  return count;
}

// --- TReplaceOnCommit --------------------------------------------------------

std::string TReplaceOnCommit::TemporaryPathOf(std::string_view target) {
  return std::string(target) + "." + std::to_string(CurrentProcessId()) +
         std::string(kTemporarySuffix);
}

bool TTemporary::Abandoned() const {
  return ProcessId != CurrentProcessId() && !ProcessRunning(ProcessId);
}

std::optional<std::vector<TTemporary>> ListTemporaries(
    std::string_view directory) {
  const auto entries = ListDirectory(directory.empty() ? "." : directory);
  if (!entries) return std::nullopt;
  std::vector<TTemporary> found;
  for (const TDirEntry& entry : *entries) {
    std::string_view name = entry.Name;
    if (entry.IsDirectory || !name.ends_with(kTemporarySuffix)) continue;
    name.remove_suffix(kTemporarySuffix.size());
    TTemporary temporary;
    temporary.Path = std::string(directory) + kPathDelimiter + entry.Name;
    const std::size_t dot = name.rfind('.');
    const std::string_view number = dot == std::string_view::npos
                                        ? std::string_view()
                                        : name.substr(dot + 1);
    int processId = 0;
    const auto [end, error] = std::from_chars(
        number.data(), number.data() + number.size(), processId);
    if (dot != std::string_view::npos && dot > 0 && !number.empty() &&
        error == std::errc() && end == number.data() + number.size() &&
        processId > 0) {
      name = name.substr(0, dot);
      temporary.ProcessId = processId;
    }
    if (name.empty()) continue;
    temporary.Target = std::string(name);
    found.push_back(std::move(temporary));
  }
  return found;
}

bool CopyFileDurably(std::string_view from, std::string_view to, int& errorCode,
                     TExisting existing) {
  errorCode = 0;
  const auto failed = [&errorCode] {
    errorCode = LastErrorCode();
    return false;
  };
  // Asked as one step before the steps it takes.
  if (!files_internal::Allowed(TFileOp::kCopy, from, to)) return failed();
  const auto source = TFile::Open(from, TFile::TMode::kRead);
  if (!source) return failed();
  const auto copy = TReplaceOnCommit::Begin(to);
  if (!copy) return failed();
  std::string chunk(kCopyChunk, '\0');
  for (;;) {
    const auto got = source->Read(chunk.data(), chunk.size());
    if (!got || !copy->Write(std::string_view(chunk.data(), *got))) {
      return failed();
    }
    if (*got < chunk.size()) break;
  }
  return copy->Commit(existing) || failed();
}

std::unique_ptr<TReplaceOnCommit> TReplaceOnCommit::Begin(
    std::string_view target) {
  std::string path = TemporaryPathOf(target);
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

bool TReplaceOnCommit::WriteAt(std::uint64_t offset, std::string_view bytes) {
  if (FFailed || !FFile) return false;
  if (!FFile->Seek(offset)) FFailed = true;
  return Write(bytes);
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

bool TReplaceOnCommit::Publish(TExisting existing) {
  if (FCommitted) return true;
  if (!FPrepared) return false;
  const bool renamed = existing == TExisting::kReplace
                           ? RenameFile(FTemporary, FTarget)
                           : RenameNoReplace(FTemporary, FTarget);
  if (!renamed) return false;
  FCommitted = true;
  return FlushDirectory(ParentOf(FTarget));
}

bool TReplaceOnCommit::Discard() {
  FFile.reset();
  FReleased = true;
  return RemoveFile(FTemporary);
}

bool TReplaceOnCommit::Commit(TExisting existing) {
  return Prepare() && Publish(existing);
}

// --- TFileLock ---------------------------------------------------------------

std::unique_ptr<TFileLock> TFileLock::Acquire(std::string_view path,
                                              std::chrono::milliseconds wait,
                                              TResult& result) {
  result = TResult::kFailed;
  if (path.empty() || !files_internal::Allowed(TFileOp::kLock, path)) {
    return nullptr;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const files_internal::TLockTry attempt = files_internal::TryLock(path);
    result = attempt.Result;
    if (result == TResult::kHeld) {
      return std::unique_ptr<TFileLock>(
          new TFileLock(attempt.Native, std::string(path)));
    }
    const auto now = std::chrono::steady_clock::now();
    if (!attempt.Again || now >= deadline) return nullptr;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        kLockPoll, deadline - now));
  }
}

}  // namespace bridge::platform
