#include "transfer/ReceiveCommit.h"

#include <string_view>
#include <vector>

#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"

namespace bridge {
namespace {

constexpr std::string_view kTakenSuffix = ".odebrany";

[[noreturn]] void Raise(std::string_view message, std::string_view path) {
  throw EBridgeError(std::string(message) + std::string(path));
}

// Whether a file is at the path; raises when that cannot be told, since a
// taken table or a prepared file that is there but unseen would be lost.
bool IsFile(const std::string& path) {
  const auto kind = platform::ProbePath(path);
  if (!kind) Raise(kReadFailed.view(), path);
  return *kind == platform::TPathKind::kFile;
}

}  // namespace

TReceiveCommit::TReceiveCommit(TTransManager& heads, TTransManager& lines,
                               TJobReport* report)
    : FHeadTransfer(heads), FLineTransfer(lines), FReport(report) {
  // The import directory is made only by a receive that writes into it.
  const auto pairOf = [](const TTransManager& transfer) {
    TPair pair;
    pair.Upload = transfer.UploadTablePath();
    pair.Taken = TakenPathOf(pair.Upload);
    pair.Import =
        ImportDirPath() + platform::kPathDelimiter + transfer.TextName();
    return pair;
  };
  FHeads = pairOf(heads);
  FLines = pairOf(lines);
  FUploadDir = platform::ExtractFileDir(FHeads.Upload);
  FImportDir = platform::ExtractFileDir(FHeads.Import);
}

TReceiveCommit::~TReceiveCommit() {
  // Before the commit the prepared files are only a copy of what the tables
  // hold; the next job removes what stays.
  if (FPreparing) {
    static_cast<void>(platform::RemoveFile(FHeads.Prepared));
    static_cast<void>(platform::RemoveFile(FLines.Prepared));
  }
}

std::string TReceiveCommit::TakenPathOf(std::string_view path) {
  return std::string(path) + std::string(kTakenSuffix);
}

std::vector<platform::TTemporary> TReceiveCommit::PreparedFiles() const {
  const auto kind = platform::ProbePath(FImportDir);
  if (!kind) Raise(kReadFailed.view(), FImportDir);
  if (*kind != platform::TPathKind::kDirectory) return {};
  const auto temporaries = platform::ListTemporaries(FImportDir);
  if (!temporaries) Raise(kReadFailed.view(), FImportDir);
  std::vector<platform::TTemporary> prepared;
  for (const platform::TTemporary& temporary : *temporaries) {
    // The host may keep files of its own there.
    for (const TPair* pair : {&FHeads, &FLines}) {
      if (temporary.Target == platform::ExtractFileName(pair->Import)) {
        prepared.push_back(temporary);
      }
    }
  }
  return prepared;
}

void TReceiveCommit::Recover(TDateTime timestamp) {
  FRecovering = true;
  std::vector<platform::TTemporary> prepared = PreparedFiles();
  if (IsFile(FLines.Taken)) {
    for (TPair* pair : {&FHeads, &FLines}) {
      FinishTake(*pair);
      for (const platform::TTemporary& file : prepared) {
        if (file.Target == platform::ExtractFileName(pair->Import)) {
          pair->Prepared = file.Path;
        }
      }
    }
    Publish();
    Archive(timestamp);
    return;
  }
  if (IsFile(FHeads.Taken)) {
    // Stopped between the two renames of the commit: the documents were
    // never handed over, so the header table is put back to be read again.
    if (!Untake()) Raise(kCannotCreateFile.view(), FHeads.Upload);
    Recovered(TJobReport::TRecoveryStep::kRestored, FHeads.Upload);
  }
  for (const platform::TTemporary& file : prepared) {
    if (!platform::RemoveFile(file.Path)) {
      Raise(kCannotRemove.view(), file.Path);
    }
    Recovered(TJobReport::TRecoveryStep::kRemoved, file.Path);
  }
}

void TReceiveCommit::FinishTake(const TPair& pair) {
  // Taken by a second name that the upload's name did not lose: the take
  // stopped half-way, and the upload name goes now.
  if (!IsFile(pair.Upload) || !platform::SameFile(pair.Upload, pair.Taken)) {
    return;
  }
  if (!platform::RemoveFile(pair.Upload) ||
      !platform::FlushDirectory(FUploadDir)) {
    Raise(kCannotRemove.view(), pair.Upload);
  }
}

bool TReceiveCommit::Untake() {
  return platform::RenameNoReplace(FHeads.Taken, FHeads.Upload) &&
         platform::FlushDirectory(FUploadDir);
}

void TReceiveCommit::Recovered(TJobReport::TRecoveryStep step,
                               const std::string& path) {
  if (FRecovering && FReport != nullptr) {
    FReport->Recovered.push_back({step, platform::ExtractFileName(path)});
  }
}

void TReceiveCommit::Run(TDateTime timestamp) {
  FRecovering = false;
  FPreparing = true;
  // The line transfer reads what the header transfer collected.
  FHeadTransfer.Receive(TTransManager::TTextOutcome::kPrepare);
  FHeads.Prepared = FHeadTransfer.PreparedTextPath();
  FLineTransfer.Receive(TTransManager::TTextOutcome::kPrepare);
  FLines.Prepared = FLineTransfer.PreparedTextPath();
  if (!platform::FlushDirectory(FImportDir)) {
    Raise(kWriteFailed.view(), FHeads.Import);
  }
  Commit();
  Publish();
  if (FReport != nullptr) {
    for (const TTransManager* transfer : {&FHeadTransfer, &FLineTransfer}) {
      FReport->Runs.push_back(
          {transfer->TextName(), transfer->TableName(), transfer->Counts()});
    }
    FReport->Documents = FHeadTransfer.Counts().Written;
    FReport->Lines = FLineTransfer.Counts().Written;
  }
  Archive(timestamp);
}

void TReceiveCommit::Commit() {
  // The header table's new name is durable before the line table's: with
  // the line table taken and the header table not, the next job would take
  // the documents for handed over while their header table waits to be
  // read again.
  if (!platform::RenameNoReplace(FHeads.Upload, FHeads.Taken) ||
      !platform::FlushDirectory(FUploadDir)) {
    if (platform::FileExists(FHeads.Taken)) static_cast<void>(Untake());
    Raise(kCannotRemove.view(), FHeads.Upload);
  }
  if (!platform::RenameNoReplace(FLines.Upload, FLines.Taken)) {
    // A header table that cannot get its name back here gets it from the
    // next job.
    static_cast<void>(Untake());
    Raise(kCannotRemove.view(), FLines.Upload);
  }
  // Committed: the prepared files now hold the only text of documents that
  // no job reads again.
  FPreparing = false;
  if (!platform::FlushDirectory(FUploadDir)) {
    Raise(kCannotRemove.view(), FLines.Upload);
  }
}

void TReceiveCommit::Publish() {
  for (const TPair* pair : {&FLines, &FHeads}) {
    if (pair->Prepared.empty() || !IsFile(pair->Prepared)) continue;
    if (!platform::RenameFile(pair->Prepared, pair->Import) ||
        !platform::FlushDirectory(FImportDir)) {
      Raise(kWriteFailed.view(), pair->Import);
    }
    Recovered(TJobReport::TRecoveryStep::kPublished, pair->Import);
  }
}

void TReceiveCommit::Archive(TDateTime timestamp) {
  // Each deletion is durable before the next, so that a header table is
  // never found taken without its line table.
  for (const TPair* pair : {&FHeads, &FLines}) {
    if (!IsFile(pair->Taken)) continue;
    BackupFile(pair->Taken, timestamp, platform::ExtractFileName(pair->Upload));
    if (!platform::RemoveFile(pair->Taken) ||
        !platform::FlushDirectory(FUploadDir)) {
      Raise(kCannotRemove.view(), pair->Taken);
    }
    Recovered(TJobReport::TRecoveryStep::kArchived, pair->Upload);
  }
}

}  // namespace bridge
