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
