#include "transfer/Utransmanager.h"

#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "core/Uprogramparams.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"

namespace bridge {
namespace {

constexpr char kDelimiter = platform::kPathDelimiter;

[[noreturn]] void Raise(std::string_view message, std::string_view path) {
  throw EBridgeError(std::string(message) + std::string(path));
}

}  // namespace

TTransManager::TTransManager(TDateTime timestamp, std::string_view textName,
                             std::string_view tableName)
    : FTextName(textName), FTableName(tableName), FTimestamp(timestamp) {}

// The table goes first: closing it writes its header, or removes it when it
// got no record.
TTransManager::~TTransManager() {
  FTable.reset();
  FTextFile.reset();
}

void TTransManager::Send() {
  FTextPath = ExportDir() + kDelimiter + FTextName;
  FTablePath = DownloadDir() + kDelimiter + FTableName;
  FNewLayout = NewLayoutInForce();
  BeforeRun();
  FTextFile = std::make_unique<TZendorProFile>(FTimestamp);
  DefineTextFields(*FTextFile);
  FTable = std::make_unique<TDBF>();
  DefineDbfFields(*FTable);
  // A device takes any table it finds for the complete list: a run that
  // fails half-way never closes its table, which is then not kept.
  const auto cannotCreate = [this] {
    Raise(kCannotCreateFile.view(), FTablePath);
  };
  if (!FTable->CreateTable(FTablePath)) cannotCreate();
  FCounts = {};
  if (FTextFile->OpenRead(FTextPath)) {
    FCounts.SourceFound = true;
    FTextFile->First();
    while (!FTextFile->Eof()) {
      ++FCounts.Read;
      TZendorProRecord& textRecord = *FTextFile->CurrentRecord();
      if (SkipTextRecord(textRecord)) {
        ++FCounts.Skipped;
      } else {
        TDBFRecord& tableRecord = *FTable->NewRecord();
        BeforeTextToDbf(textRecord);
        TextToDbf(textRecord, tableRecord);
        if (!FTable->AppendRecord(tableRecord)) cannotCreate();
        ++FCounts.Written;
      }
      FTextFile->Next();
    }
  }
  FCounts.Cut = FTable->WriteCounts().Cut;
  FCounts.Replaced = FTable->WriteCounts().Replaced;
  if (!FTable->Close()) cannotCreate();
}

void TTransManager::Receive(TTextOutcome outcome) {
  FTextPath = ImportDir() + kDelimiter + FTextName;
  FTablePath = UploadDir() + kDelimiter + FTableName;
  FNewLayout = NewLayoutInForce();
  BeforeRun();
  FTextFile = std::make_unique<TZendorProFile>(FTimestamp);
  DefineTextFields(*FTextFile);
  // A device may write its numbers with the separator of the system that
  // receives them.
  FTable = std::make_unique<TDBF>(SystemDecimalSeparator());
  FCounts = {};
  if (!FTable->Open(FTablePath)) Raise(kReadFailed.view(), FTablePath);
  FCounts.SourceFound = true;
  AfterDbfOpen(*FTable);
  if (!FTextFile->OpenWrite(FTextPath, BackupsInForce())) {
    Raise(kWriteFailed.view(), FTextPath);
  }
  FTable->First();
  while (!FTable->Eof()) {
    TDBFRecord* tableRecord = FTable->ReadRecord();
    // The header counted this record: a table that ends before it was cut
    // short while it was being read.
    if (tableRecord == nullptr) Raise(kIncomplete.view(), FTablePath);
    ++FCounts.Read;
    if (tableRecord->IsDeleted() || SkipDbfRecord(*tableRecord)) {
      ++FCounts.Skipped;
    } else {
      BeforeDbfToText(*tableRecord);
      TZendorProRecord& textRecord = FTextFile->NewRecord();
      DbfToText(textRecord, *tableRecord);
      FTextFile->Append(textRecord);
      ++FCounts.Written;
    }
    FTable->Next();
  }
  static_cast<void>(FTable->Close());
  if (outcome == TTextOutcome::kPublish) {
    FTextFile->Save();
  } else {
    FPreparedTextPath = FTextFile->Prepare();
  }
}

std::string TTransManager::DownloadTablePath() const {
  return DownloadDir() + kDelimiter + FTableName;
}

std::string TTransManager::UploadTablePath() const {
  return UploadDir() + kDelimiter + FTableName;
}

std::string TTransManager::ImportTextPath() const {
  return ImportDir() + kDelimiter + FTextName;
}

bool TTransManager::DeleteDownloadTable() {
  return platform::RemoveFile(DownloadTablePath());
}

void TTransManager::ArchiveUploadTable() {
  const std::string path = UploadTablePath();
  BackupFile(path, FTimestamp);
  if (!platform::RemoveFile(path) ||
      !platform::FlushDirectory(platform::ExtractFileDir(path))) {
    Raise(kCannotRemove.view(), path);
  }
}

bool TTransManager::UploadTableExists() {
  const std::string path = UploadTablePath();
  const auto kind = platform::ProbePath(path);
  if (!kind) Raise(kReadFailed.view(), path);
  return *kind == platform::TPathKind::kFile;
}

bool TTransManager::ImportTextPending() {
  const std::string path = ImportTextPath();
  const auto kind = platform::ProbePath(path);
  if (!kind) Raise(kReadFailed.view(), path);
  if (*kind != platform::TPathKind::kFile) return false;
  const auto size = platform::FileSize(path);
  if (!size) Raise(kReadFailed.view(), path);
  if (*size == 0) {
    // The host takes dok.txt, with poz.txt, as soon as it sees one: an
    // empty one that another program holds would meet this job's poz.txt
    // before its own dok.txt could replace it.
    if (!platform::RemoveFile(path)) Raise(kCannotRemove.view(), path);
    return false;
  }
  return true;
}

bool TTransManager::SkipTextRecord(TZendorProRecord& /*textRecord*/) {
  return false;
}
bool TTransManager::SkipDbfRecord(TDBFRecord& /*dbfRecord*/) { return false; }
void TTransManager::BeforeTextToDbf(TZendorProRecord& /*textRecord*/) {}
void TTransManager::BeforeDbfToText(TDBFRecord& /*dbfRecord*/) {}
void TTransManager::BeforeRun() {}
void TTransManager::AfterDbfOpen(TDBF& /*table*/) {}

}  // namespace bridge
