#include "transfer/Utransmanager.h"

#include "app/Uglobal.h"
#include "platform/Files.h"

namespace bridge {
namespace {

constexpr char kDelimiter = platform::kPathDelimiter;

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
  BeforeRun();
  FTextFile = std::make_unique<TZendorProFile>(FTimestamp);
  DefineTextFields(*FTextFile);
  FTable = std::make_unique<TDBF>();
  DefineDbfFields(*FTable);
  if (!FTable->CreateTable(FTablePath)) return;
  try {
    if (!FTextFile->OpenRead(FTextPath)) return;
    FTextFile->First();
    while (!FTextFile->Eof()) {
      TZendorProRecord& textRecord = *FTextFile->CurrentRecord();
      if (!SkipTextRecord(textRecord)) {
        TDBFRecord& tableRecord = *FTable->NewRecord();
        BeforeTextToDbf(textRecord);
        TextToDbf(textRecord, tableRecord);
        FTable->AppendRecord(tableRecord);
      }
      FTextFile->Next();
    }
    FTable->Close();
    FTextFile->Save();
  } catch (...) {
    // A device takes any table it finds for the complete list, so a run
    // that failed half-way leaves no table rather than a truncated one.
    FTable->Abandon();
    throw;
  }
}

void TTransManager::Receive(TCommitText commit) {
  FTextPath = ImportDir() + kDelimiter + FTextName;
  FTablePath = UploadDir() + kDelimiter + FTableName;
  BeforeRun();
  FTextFile = std::make_unique<TZendorProFile>(FTimestamp);
  DefineTextFields(*FTextFile);
  FTable = std::make_unique<TDBF>();
  if (!FTable->Open(FTablePath)) return;
  AfterDbfOpen(*FTable);
  if (!FTextFile->OpenWrite(FTextPath)) return;
  FTextWritten = true;
  FTable->First();
  while (!FTable->Eof()) {
    TDBFRecord* tableRecord = FTable->ReadRecord();
    if (tableRecord == nullptr) break;
    if (!tableRecord->IsDeleted() && !SkipDbfRecord(*tableRecord)) {
      BeforeDbfToText(*tableRecord);
      TZendorProRecord& textRecord = FTextFile->NewRecord();
      DbfToText(textRecord, *tableRecord);
      FTextFile->Append(textRecord);
    }
    FTable->Next();
  }
  FTable->Close();
  if (commit == TCommitText::kNow) CommitText();
}

void TTransManager::CommitText() {
  if (!FTextWritten) return;
  FTextFile->Save();
  FTextWritten = false;
}

void TTransManager::DeleteDownloadTable() {
  platform::DeleteFile(DownloadDir() + kDelimiter + FTableName);
}

std::string TTransManager::UploadTablePath() const {
  return UploadDir() + kDelimiter + FTableName;
}

void TTransManager::ArchiveUploadTable() {
  BackupUploadTable();
  DeleteUploadTable();
}

void TTransManager::BackupUploadTable() {
  BackupFile(UploadTablePath(), FTimestamp);
}

void TTransManager::DeleteUploadTable() {
  platform::DeleteFile(UploadTablePath());
}

bool TTransManager::UploadTableExists() {
  return platform::FileExists(UploadTablePath());
}

bool TTransManager::ImportTextPending() {
  const std::string path = ImportDir() + kDelimiter + FTextName;
  const auto size = platform::FileSize(path);
  if (!size) return false;
  if (*size == 0) {
    platform::DeleteFile(path);
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
