// The base of every transfer: one kind of data moved between one host text
// file and one device table, in one direction. The base owns both run loops,
// the pairing of file names with the exchange directories, and the
// housekeeping of the device tables; a transfer supplies its field
// definitions, its record conversion and optional filters and hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dbf/uDBF.h"
#include "platform/DateTime.h"
#include "textfile/uZendorTextFileDef.h"
#include "transfer/JobReport.h"

namespace bridge {

class TTransManager {
 public:
  // The names are bare file names; the directories come from the direction
  // of the run.
  TTransManager(TDateTime timestamp, std::string_view textName,
                std::string_view tableName);
  virtual ~TTransManager();
  TTransManager(const TTransManager&) = delete;
  TTransManager& operator=(const TTransManager&) = delete;

  // Host export file to device download table. A missing host file, an
  // empty one or one whose records are all skipped leaves no table. Every
  // failure raises: "Nie można utworzyć pliku: " + the table's path when
  // the table cannot be written whole, the read failure of the host file.
  void Send();
  // Device upload table to host import file. With kPublish the text file
  // takes its name at the end; with kPrepare it is left durable under its
  // temporary name (PreparedTextPath) for the job, which gives it its name
  // once every step before that has succeeded. A table shorter than its
  // header says raises "Plik jest niekompletny: " + path.
  enum class TTextOutcome { kPublish, kPrepare };
  void Receive(TTextOutcome outcome = TTextOutcome::kPublish);
  // Where the last Receive with kPrepare left the text file.
  const std::string& PreparedTextPath() const { return FPreparedTextPath; }

  // Deletes the download table; false when one is there and stays.
  [[nodiscard]] bool DeleteDownloadTable();
  // Backs up the upload table (when backups are on), then deletes it;
  // raises "Nie można usunąć pliku: " + path when it stays.
  void ArchiveUploadTable();
  // Whether the upload table is there; raises the read failure when that
  // cannot be told.
  bool UploadTableExists();
  // Whether a text file the host has not collected waits in the import
  // directory; an empty one is deleted and does not count, and raises when
  // it cannot be deleted.
  bool ImportTextPending();

  std::string DownloadTablePath() const;
  std::string UploadTablePath() const;
  std::string ImportTextPath() const;
  const std::string& TextName() const { return FTextName; }
  const std::string& TableName() const { return FTableName; }
  const std::string& TextPath() const { return FTextPath; }
  const std::string& TablePath() const { return FTablePath; }
  TDateTime Timestamp() const { return FTimestamp; }
  // What the last run did, as far as it got.
  const TTransferCounts& Counts() const { return FCounts; }

  // How a run spreads a large table or host file over two threads when the
  // transfer has a helper: one whose records fill at least kParallelBlocks
  // blocks of blockBytes bytes (kBlockBytes unless set) is converted block
  // by block, here and by the helper, whichever is free, each block into
  // lines or records of its own that are written in the order of the
  // records.
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  static constexpr std::size_t kParallelBlocks = 4;
  void SetBlockBytes(std::size_t blockBytes) { FBlockBytes = blockBytes; }

 protected:
  // Fills the new table record from the text record.
  virtual void TextToDbf(TZendorProRecord& textRecord,
                         TDBFRecord& dbfRecord) = 0;
  // Fills the new text record from the table record.
  virtual void DbfToText(TZendorProRecord& textRecord,
                         TDBFRecord& dbfRecord) = 0;
  // Declares the table's fields on the empty table object.
  virtual void DefineDbfFields(TDBF& table) = 0;
  // Gives the text file its field definitions.
  virtual void DefineTextFields(TZendorProFile& textFile) = 0;
  virtual bool SkipTextRecord(TZendorProRecord& textRecord);
  virtual bool SkipDbfRecord(TDBFRecord& dbfRecord);
  virtual void BeforeTextToDbf(TZendorProRecord& textRecord);
  virtual void BeforeDbfToText(TDBFRecord& dbfRecord);
  virtual void BeforeRun();
  virtual void AfterDbfOpen(TDBF& table);
  // A new transfer of the same kind, to convert part of a run's records on
  // a second thread, or nullptr (the default) to convert them all here.
  // The two must share nothing that the conversions or the hooks change.
  virtual std::unique_ptr<TTransManager> NewHelper() const;
  // Called once the helper has converted its last block: moves over what
  // its hooks gathered.
  virtual void TakeFromHelper(TTransManager& helper);

  TZendorProFile* TextFile() const { return FTextFile.get(); }
  TDBF* Table() const { return FTable.get(); }
  // Whether the run's table is in the newer layout, "1.8.0": the one place a
  // transfer learns its layout. Read as the run starts, before BeforeRun,
  // since nothing changes the configuration while a run converts.
  bool NewLayout() const { return FNewLayout; }

 private:
  // Converts the records from first up to end, each live one into a line
  // given to take, and counts them into counts.
  template <typename TTake>
  void ConvertRecords(std::int32_t first, std::int32_t end,
                      TTransferCounts& counts, TTake take);
  // A helper with this run's layout and text fields, or nullptr.
  std::unique_ptr<TTransManager> PrepareHelper() const;
  // A helper ready to convert records of the same table, or nullptr when
  // the table is small, there is none or it cannot read the table as this
  // run does.
  std::unique_ptr<TTransManager> StartReceiveHelper() const;
  void ReceiveInParallel(TTransManager& helper);
  // A helper ready to make records of this run's table, or nullptr when
  // the host file is small or there is none.
  std::unique_ptr<TTransManager> StartSendHelper() const;
  struct TLineBlock;
  // Converts the lines of a block into records added to records, and
  // counts them into counts.
  void ConvertLines(const TLineBlock& block, std::string& records,
                    TTransferCounts& counts);
  void SendInParallel(TTransManager& helper);

  std::unique_ptr<TZendorProFile> FTextFile;
  std::unique_ptr<TDBF> FTable;
  std::string FTextName;
  std::string FTableName;
  std::string FTextPath;
  std::string FTablePath;
  std::string FPreparedTextPath;
  TDateTime FTimestamp;
  TTransferCounts FCounts;
  bool FNewLayout = false;
  std::size_t FBlockBytes = kBlockBytes;
};

}  // namespace bridge
