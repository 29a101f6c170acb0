#include "transfer/Utransmanager.h"

#include <algorithm>
#include <array>
#include <exception>
#include <vector>

#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "core/Uprogramparams.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "transfer/BlocksInOrder.h"

namespace bridge {
namespace {

constexpr char kDelimiter = platform::kPathDelimiter;

[[noreturn]] void Raise(std::string_view message, std::string_view path) {
  throw EBridgeError(std::string(message) + std::string(path));
}

// Whether two opened tables hold their records alike.
bool SameLayout(const TDBF& one, const TDBF& other) {
  const auto sameField = [](const TDBFFieldDef* a, const TDBFFieldDef* b) {
    return a->Name() == b->Name() && a->FieldType() == b->FieldType() &&
           a->Length() == b->Length() && a->Decimals() == b->Decimals() &&
           a->Offset() == b->Offset();
  };
  if (one.RecordCount() != other.RecordCount() ||
      one.HeaderLength() != other.HeaderLength() ||
      one.RecordLength() != other.RecordLength() ||
      one.Fields().Count() != other.Fields().Count()) {
    return false;
  }
  for (std::size_t i = 0; i < one.Fields().Count(); ++i) {
    if (!sameField(one.Fields().Item(i), other.Fields().Item(i))) return false;
  }
  return true;
}

void AddCounts(TTransferCounts& to, const TTransferCounts& from) {
  to.Read += from.Read;
  to.Written += from.Written;
  to.Skipped += from.Skipped;
  to.Cut += from.Cut;
  to.Replaced += from.Replaced;
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
    if (const auto helper = StartSendHelper()) {
      SendInParallel(*helper);
    } else {
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
      FCounts.Cut = FTable->WriteCounts().Cut;
      FCounts.Replaced = FTable->WriteCounts().Replaced;
    }
  }
  if (!FTable->Close()) cannotCreate();
}

// The lines of a host file read ahead for a send on two threads: their
// text, one after another, and where each ends.
struct TTransManager::TLineBlock {
  std::string Text;
  std::vector<std::size_t> Ends;
};

void TTransManager::ConvertLines(const TLineBlock& block, std::string& records,
                                 TTransferCounts& counts) {
  const TDBF::TWriteCounts before = FTable->WriteCounts();
  const std::string_view text = block.Text;
  std::size_t begin = 0;
  for (const std::size_t end : block.Ends) {
    ++counts.Read;
    TZendorProRecord& textRecord = FTextFile->NewRecord();
    textRecord.ParseLine(text.substr(begin, end - begin));
    begin = end;
    if (SkipTextRecord(textRecord)) {
      ++counts.Skipped;
      continue;
    }
    TDBFRecord& tableRecord = *FTable->NewRecord();
    BeforeTextToDbf(textRecord);
    TextToDbf(textRecord, tableRecord);
    FTable->AppendRecordTo(records);
    ++counts.Written;
  }
  counts.Cut += FTable->WriteCounts().Cut - before.Cut;
  counts.Replaced += FTable->WriteCounts().Replaced - before.Replaced;
}

// This run reads the host file block by block and writes the records of
// each block in turn; either thread converts a block. A read that fails
// part-way through a block is raised after the lines read before it are
// converted and written, as on one thread.
void TTransManager::SendInParallel(TTransManager& helper) {
  std::array<TLineBlock, kBlocksAhead> blocks;
  std::array<TTransferCounts, kBlocksAhead> counts;
  const auto slot = [](std::int64_t block) {
    return static_cast<std::size_t>(block % kBlocksAhead);
  };
  // A block ends after blockBytes of text or of records, whichever comes
  // first.
  const auto recordBytes = static_cast<std::size_t>(FTable->RecordLength());
  std::exception_ptr readError;
  std::int64_t written = 0;
  try {
    ConvertBlocksInOrder(
        [&](std::int64_t block) {
          counts[slot(block)] = {};
          if (readError) std::rethrow_exception(readError);
          if (FTextFile->Eof()) return false;
          TLineBlock& lines = blocks[slot(block)];
          lines.Text.clear();
          lines.Ends.clear();
          try {
            while (!FTextFile->Eof() && lines.Text.size() < FBlockBytes &&
                   lines.Ends.size() * recordBytes < FBlockBytes) {
              lines.Text += FTextFile->CurrentLine();
              lines.Ends.push_back(lines.Text.size());
              FTextFile->Next();
            }
          } catch (...) {
            if (lines.Ends.empty()) throw;
            readError = std::current_exception();
          }
          return true;
        },
        [&](int worker, std::int64_t block, std::string& records) {
          (worker == 0 ? *this : helper)
              .ConvertLines(blocks[slot(block)], records, counts[slot(block)]);
        },
        [&](std::string_view records) {
          if (!FTable->AppendRecords(records)) {
            Raise(kCannotCreateFile.view(), FTablePath);
          }
          AddCounts(FCounts, counts[slot(written++)]);
        });
  } catch (...) {
    // The block that failed to be converted or written, as far as it got.
    AddCounts(FCounts, counts[slot(written)]);
    throw;
  }
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
  if (const auto helper = StartReceiveHelper()) {
    ReceiveInParallel(*helper);
  } else {
    ConvertRecords(0, FTable->RecordCount(), FCounts,
                   [this](const TZendorProRecord& textRecord) {
                     FTextFile->Append(textRecord);
                   });
  }
  static_cast<void>(FTable->Close());
  if (outcome == TTextOutcome::kPublish) {
    FTextFile->Save();
  } else {
    FPreparedTextPath = FTextFile->Prepare();
  }
}

template <typename TTake>
void TTransManager::ConvertRecords(std::int32_t first, std::int32_t end,
                                   TTransferCounts& counts, TTake take) {
  if (first >= end) return;
  FTable->MoveTo(first);
  for (std::int32_t index = first; index < end; ++index) {
    TDBFRecord* tableRecord = FTable->ReadRecord();
    // The header counted this record: a table that ends before it was cut
    // short while it was being read.
    if (tableRecord == nullptr) Raise(kIncomplete.view(), FTablePath);
    ++counts.Read;
    if (tableRecord->IsDeleted() || SkipDbfRecord(*tableRecord)) {
      ++counts.Skipped;
    } else {
      BeforeDbfToText(*tableRecord);
      TZendorProRecord& textRecord = FTextFile->NewRecord();
      DbfToText(textRecord, *tableRecord);
      take(textRecord);
      ++counts.Written;
    }
    FTable->Next();
  }
}

std::unique_ptr<TTransManager> TTransManager::PrepareHelper() const {
  auto helper = NewHelper();
  if (!helper) return nullptr;
  helper->FTablePath = FTablePath;
  helper->FNewLayout = FNewLayout;
  helper->BeforeRun();
  helper->FTextFile = std::make_unique<TZendorProFile>(FTimestamp);
  helper->DefineTextFields(*helper->FTextFile);
  return helper;
}

std::unique_ptr<TTransManager> TTransManager::StartReceiveHelper() const {
  const std::uint64_t recordBytes =
      static_cast<std::uint64_t>(FTable->RecordCount()) *
      static_cast<std::uint64_t>(FTable->RecordLength());
  if (recordBytes < FBlockBytes * kParallelBlocks) return nullptr;
  auto helper = PrepareHelper();
  if (!helper) return nullptr;
  helper->FTable = std::make_unique<TDBF>(FTable->DecimalSeparator());
  // The helper reads the table through a handle of its own. Whatever keeps
  // it from reading the same records, this run reads them all itself.
  try {
    if (!helper->FTable->Open(FTablePath)) return nullptr;
  } catch (const EBridgeError&) {
    return nullptr;
  }
  if (!SameLayout(*FTable, *helper->FTable)) return nullptr;
  helper->AfterDbfOpen(*helper->FTable);
  return helper;
}

std::unique_ptr<TTransManager> TTransManager::StartSendHelper() const {
  const auto textBytes = FTextFile->Size();
  if (!textBytes || *textBytes < FBlockBytes * kParallelBlocks) return nullptr;
  auto helper = PrepareHelper();
  if (!helper) return nullptr;
  // The helper's table only lays its records out; this run writes them.
  helper->FTable = std::make_unique<TDBF>();
  helper->DefineDbfFields(*helper->FTable);
  if (!helper->FTable->LayOutRecords() ||
      !SameLayout(*FTable, *helper->FTable)) {
    return nullptr;
  }
  return helper;
}

// Block b holds the records from b * size on; the job's thread converts
// its blocks with this transfer, the helper's thread with the helper. Each
// block counts its records apart, and the counts join the run's as the
// block is written, so that a run that fails counts as far as it got, as
// on one thread.
void TTransManager::ReceiveInParallel(TTransManager& helper) {
  const std::int32_t count = FTable->RecordCount();
  const std::int64_t size = static_cast<std::int64_t>(std::clamp<std::size_t>(
      FBlockBytes / static_cast<std::size_t>(FTable->RecordLength()), 1,
      static_cast<std::size_t>(count)));
  const auto start = [&](std::int64_t block) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(block * size, count));
  };
  std::vector<TTransferCounts> counts(
      static_cast<std::size_t>((count + size - 1) / size));
  std::size_t written = 0;
  try {
    ConvertBlocksInOrder(
        [&counts](std::int64_t block) {
          return block < static_cast<std::int64_t>(counts.size());
        },
        [&](int worker, std::int64_t block, std::string& lines) {
          (worker == 0 ? *this : helper)
              .ConvertRecords(start(block), start(block + 1),
                              counts[static_cast<std::size_t>(block)],
                              [&lines](const TZendorProRecord& textRecord) {
                                TZendorProFile::AppendLine(textRecord, lines);
                              });
        },
        [&](std::string_view lines) {
          FTextFile->AppendLines(lines);
          AddCounts(FCounts, counts[written++]);
        });
  } catch (...) {
    // The block that failed to be converted or written.
    if (written < counts.size()) AddCounts(FCounts, counts[written]);
    throw;
  }
  TakeFromHelper(helper);
  static_cast<void>(helper.FTable->Close());
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
std::unique_ptr<TTransManager> TTransManager::NewHelper() const {
  return nullptr;
}
void TTransManager::TakeFromHelper(TTransManager& /*helper*/) {}

}  // namespace bridge
