#include "transfer/Utransmanager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <thread>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/System.h"
#include "testing/FaultPlan.h"
#include "transfer/TransferTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Join;
using testing::ListNames;
using testing::ReadBytes;
using testing::TTransferTest;
using testing::WriteBytes;

// A transfer of one code and one quantity per record, in both directions.
// Codes "SKIP" are left out and codes that begin with "FAIL" make the
// conversion fail with the code as the message. With Helped set, large
// tables and host files have a helper; the codes that reach BeforeDbfToText
// are gathered, the helper's moved over to this one.
class TFakeTransfer final : public TTransManager {
 public:
  using TTransManager::TTransManager;
  std::vector<std::string> Calls;
  bool Helped = false;
  mutable int HelpersMade = 0;
  std::vector<std::string> Gathered;

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override {
    const std::string code = textRecord.GetString("KOD");
    if (code.starts_with("FAIL")) throw std::runtime_error(code);
    dbfRecord.SetString("KOD", code);
    dbfRecord.SetInteger("ILOSC", textRecord.GetInteger("ILOSC"));
  }
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override {
    const std::string code = dbfRecord.GetString("KOD");
    if (code.starts_with("FAIL")) throw std::runtime_error(code);
    textRecord.SetString("KOD", code);
    textRecord.SetInteger("ILOSC", dbfRecord.GetInteger("ILOSC"));
  }
  void DefineDbfFields(TDBF& table) override {
    Calls.push_back("DefineDbfFields");
    table.AddField("KOD", 'C', 10, 0);
    table.AddField("ILOSC", 'N', 5, 0);
  }
  void DefineTextFields(TZendorProFile& textFile) override {
    Calls.push_back("DefineTextFields");
    textFile.Definition().LoadDefinitions(std::vector<std::string>{
        "KOD : String; - kod (10)", "ILOSC : Integer; - ilosc"});
  }
  bool SkipTextRecord(TZendorProRecord& textRecord) override {
    return textRecord.GetString("KOD") == "SKIP";
  }
  bool SkipDbfRecord(TDBFRecord& dbfRecord) override {
    return dbfRecord.GetString("KOD") == "SKIP";
  }
  void BeforeRun() override { Calls.push_back("BeforeRun"); }
  void AfterDbfOpen(TDBF& /*table*/) override {
    Calls.push_back("AfterDbfOpen");
  }
  void BeforeDbfToText(TDBFRecord& dbfRecord) override {
    Gathered.push_back(dbfRecord.GetString("KOD"));
  }
  std::unique_ptr<TTransManager> NewHelper() const override {
    if (!Helped) return nullptr;
    ++HelpersMade;
    return std::make_unique<TFakeTransfer>(Timestamp(), TextName(),
                                           TableName());
  }
  void TakeFromHelper(TTransManager& helper) override {
    auto& gathered = static_cast<TFakeTransfer&>(helper).Gathered;
    Gathered.insert(Gathered.end(), gathered.begin(), gathered.end());
    gathered.clear();
  }
};

// A record of the fake transfer's upload table: the deletion flag, KOD and
// ILOSC.
constexpr std::size_t kRecordBytes = 1 + 10 + 5;

// Fails every read made on a thread other than the one that installed it.
class TReadsFailAside final : public platform::TFileFaults {
 public:
  bool Allow(platform::TFileOp op, std::string_view /*path*/,
             std::string_view /*second*/) override {
    return op != platform::TFileOp::kRead ||
           std::this_thread::get_id() == FHere;
  }

 private:
  std::thread::id FHere = std::this_thread::get_id();
};

class TransferRuns : public TTransferTest {
 protected:
  TFakeTransfer& Transfer() {
    if (!FTransfer) {
      FTransfer = std::make_unique<TFakeTransfer>(FNow, "in.txt", "out.dbf");
    }
    return *FTransfer;
  }
  // Ends the transfer as a job does, closing whatever it left open.
  void Release() { FTransfer.reset(); }
  std::vector<std::string> ReadCodes(const std::string& path) {
    TDBF table;
    EXPECT_TRUE(table.Open(path));
    std::vector<std::string> codes;
    for (table.First(); !table.Eof(); table.Next()) {
      TDBFRecord* record = table.ReadRecord();
      codes.push_back(record->GetString("KOD") + "=" +
                      record->GetString("ILOSC"));
    }
    return codes;
  }
  // Writes an upload table with the given codes; a leading "*" marks a
  // deleted record.
  void WriteUpload(const std::vector<std::string>& codes) {
    TDBF table;
    table.AddField("KOD", 'C', 10, 0);
    table.AddField("ILOSC", 'N', 5, 0);
    ASSERT_TRUE(table.CreateTable(UploadPath("out.dbf")));
    for (const std::string& code : codes) {
      TDBFRecord& record = *table.NewRecord();
      record.SetString("KOD", code);
      record.SetInteger("ILOSC", 1);
      EXPECT_TRUE(table.AppendRecord(record));
    }
    const std::size_t headerBytes =
        static_cast<std::size_t>(table.HeaderLength());
    ASSERT_TRUE(table.Close());
    std::string bytes = ReadBytes(UploadPath("out.dbf"));
    for (std::size_t i = 0; i < codes.size(); ++i) {
      if (codes[i].starts_with("*"))
        bytes[headerBytes + i * kRecordBytes] = '*';
    }
    WriteBytes(UploadPath("out.dbf"), bytes);
  }
  // How a run that fails ends: its error, and what it counted up to it.
  struct TFailure {
    std::string Error;
    std::int64_t Read, Written, Skipped;
  };
  // Runs the transfer with a helper and expects it to fail as a run on one
  // thread would, leaving nothing in dir.
  void ExpectFailure(const std::function<void()>& run, const TFailure& failure,
                     const std::string& dir) {
    EXPECT_THAT(run, ::testing::ThrowsMessage<std::runtime_error>(
                         ::testing::StrEq(failure.Error)));
    EXPECT_EQ(Transfer().HelpersMade, 1);
    const TTransferCounts& counts = Transfer().Counts();
    EXPECT_EQ(counts.Read, failure.Read) << failure.Error;
    EXPECT_EQ(counts.Written, failure.Written) << failure.Error;
    EXPECT_EQ(counts.Skipped, failure.Skipped) << failure.Error;
    Release();
    EXPECT_THAT(ListNames(dir), IsEmpty()) << failure.Error;
  }
  std::unique_ptr<TFakeTransfer> FTransfer;
};

TEST_F(TransferRuns, SendConvertsEveryRecordNotSkippedInOrder) {
  WriteExport("in.txt", "A\t1\r\nSKIP\t2\nB\t3\r\n\r\n");
  Transfer().Send();
  EXPECT_EQ(Transfer().TextPath(), Join(ExportDir(), "in.txt"));
  EXPECT_EQ(Transfer().TablePath(), Join(DownloadDir(), "out.dbf"));
  EXPECT_THAT(Transfer().Calls,
              ElementsAre("BeforeRun", "DefineTextFields", "DefineDbfFields"));
  Release();
  EXPECT_THAT(ReadCodes(DownloadPath("out.dbf")),
              ElementsAre("A=1", "B=3", "=0"));
  EXPECT_EQ(ReadBytes(Join(ExportDir(), "in.txt")),
            "A\t1\r\nSKIP\t2\nB\t3\r\n\r\n");  // the host file is only read
}

TEST_F(TransferRuns, CountWhatEachRunReadWroteLeftOutCutAndReplaced) {
  Transfer().Send();
  EXPECT_FALSE(Transfer().Counts().SourceFound);
  // A code of 12 characters and a quantity of 6 digits lose their ends; the
  // typographic quotes have no byte in code page 852.
  WriteExport("in.txt", Cp1250(u8"„A”\t1\r\nSKIP\t2\r\n"
                               u8"ABCDEFGHIJKL\t123456\r\nA \t7\r\n")
                            .str());
  Transfer().Send();
  const TTransferCounts sent = Transfer().Counts();
  EXPECT_TRUE(sent.SourceFound);
  EXPECT_EQ(sent.Read, 4);
  EXPECT_EQ(sent.Written, 3);
  EXPECT_EQ(sent.Skipped, 1);
  EXPECT_EQ(sent.Cut, 2);
  EXPECT_EQ(sent.Replaced, 2);
  Release();
  WriteUpload({"A", "SKIP", "B", "SKIP"});
  Transfer().Receive();
  const TTransferCounts received = Transfer().Counts();
  EXPECT_EQ(received.Read, 4);
  EXPECT_EQ(received.Written, 2);
  EXPECT_EQ(received.Skipped, 2);
}

TEST_F(TransferRuns, SendLeavesNoTableForMissingEmptyOrFullySkippedFiles) {
  for (const char* content :
       {static_cast<const char*>(nullptr), "", "SKIP\t1\r\nSKIP\t2\r\n"}) {
    if (content != nullptr) WriteExport("in.txt", content);
    Transfer().Send();
    Release();
    EXPECT_THAT(ListNames(DownloadDir()), IsEmpty())
        << (content == nullptr ? "missing" : content);
  }
}

TEST_F(TransferRuns, AFailedSendRemovesItsTableInsteadOfTruncatingIt) {
  WriteExport("in.txt", "A\t1\r\nFAIL\t2\r\nB\t3\r\n");
  EXPECT_THROW(Transfer().Send(), std::runtime_error);
  Release();
  EXPECT_THAT(ListNames(DownloadDir()), IsEmpty());
}

TEST_F(TransferRuns, ReceiveConvertsRecordsThatAreNeitherDeletedNorSkipped) {
  WriteUpload({"A", "SKIP", "B"});
  Transfer().Receive();
  EXPECT_THAT(Transfer().Calls,
              ElementsAre("BeforeRun", "DefineTextFields", "AfterDbfOpen"));
  Release();
  EXPECT_EQ(ReadBytes(ImportPath("in.txt")), "A\t1\r\nB\t1\r\n");
}

TEST_F(TransferRuns, ReceiveOfAMissingTableFailsAndWritesNothing) {
  EXPECT_THROW(Transfer().Receive(), EBridgeError);
  Release();
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
}

TEST_F(TransferRuns, ReceiveCanLeaveItsTextFilePreparedForTheJob) {
  WriteUpload({"A"});
  Transfer().Receive(TTransManager::TTextOutcome::kPrepare);
  const std::string prepared = Transfer().PreparedTextPath();
  Release();  // the prepared file is the job's now
  EXPECT_EQ(prepared,
            platform::TReplaceOnCommit::TemporaryPathOf(ImportPath("in.txt")));
  EXPECT_THAT(ListNames(ImportDir()),
              ElementsAre(platform::ExtractFileName(prepared)));
  EXPECT_EQ(ReadBytes(prepared), "A\t1\r\n");
}

TEST_F(TransferRuns, ReceiveOnTwoThreadsWritesWhatOneThreadWrites) {
  struct TRun {
    std::string Text;
    std::int64_t Read, Written, Skipped;
    std::vector<std::string> Gathered;
    bool operator==(const TRun&) const = default;
  };
  const auto receive = [&](std::size_t recordsPerBlock, bool helped) {
    Transfer().Helped = helped;
    Transfer().SetBlockBytes(kRecordBytes * recordsPerBlock);
    Transfer().Receive();
    const TTransferCounts& counts = Transfer().Counts();
    TRun run{ReadBytes(ImportPath("in.txt")), counts.Read, counts.Written,
             counts.Skipped, Transfer().Gathered};
    std::sort(run.Gathered.begin(), run.Gathered.end());
    EXPECT_EQ(
        Transfer().HelpersMade,
        helped && counts.Read >= static_cast<std::int64_t>(4 * recordsPerBlock)
            ? 1
            : 0);
    Release();
    EXPECT_TRUE(platform::RemoveFile(ImportPath("in.txt")));
    return run;
  };
  // From one block to several in turn on either thread, the last one short
  // or whole, with deleted and skipped records anywhere.
  for (const int count : {1, 3, 4, 7, 8, 9, 23}) {
    std::vector<std::string> codes;
    for (int i = 0; i < count; ++i) {
      codes.push_back(i % 5 == 3   ? "SKIP"
                      : i % 7 == 2 ? "*D" + std::to_string(i)
                                   : "C" + std::to_string(i));
    }
    WriteUpload(codes);
    for (const std::size_t perBlock : {1U, 2U, 3U, 4U}) {
      EXPECT_EQ(receive(perBlock, true), receive(perBlock, false))
          << count << " records, " << perBlock << " a block";
    }
  }
}

TEST_F(TransferRuns, ReceiveOnTwoThreadsRaisesTheErrorOfTheFirstRecord) {
  // One record a block, taken by either thread: whichever fails first in
  // the table's order is reported and counted up to, as on one thread, and
  // no text file is left.
  const std::vector<std::pair<std::vector<std::string>, TFailure>> cases = {
      {{"A", "FAIL1", "FAIL2", "B", "C", "D"}, {"FAIL1", 2, 1, 0}},
      {{"FAIL0", "FAIL1", "A", "B", "C", "D"}, {"FAIL0", 1, 0, 0}},
      {{"A", "SKIP", "C", "D", "E", "FAIL5"}, {"FAIL5", 6, 4, 1}},
      {{"A", "B", "*C", "D", "FAIL4", "E", "F"}, {"FAIL4", 5, 3, 1}}};
  for (const auto& [codes, failure] : cases) {
    WriteUpload(codes);
    Transfer().Helped = true;
    Transfer().SetBlockBytes(kRecordBytes);
    ExpectFailure([&] { Transfer().Receive(); }, failure, ImportDir());
  }
}

TEST_F(TransferRuns, ReceiveOnTwoThreadsReportsTheHelpersReadFailure) {
  // Large enough for the helper to read from the file, not from what the
  // table read with its header.
  WriteUpload(std::vector<std::string>(200'000, "A"));
  Transfer().Helped = true;
  Transfer().SetBlockBytes(std::size_t{64} << 10);
  platform::System().Faults = std::make_unique<TReadsFailAside>();
  EXPECT_THAT([&] { Transfer().Receive(); },
              ::testing::ThrowsMessage<EBridgeError>(::testing::StrEq(
                  Cp1250(u8"Nie udało się odczytać pliku ").str() +
                  UploadPath("out.dbf"))));
  platform::System().Faults.reset();
  Release();
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
}

TEST_F(TransferRuns, ReceiveConvertsAloneWhenTheHelperCannotOpenTheTable) {
  WriteUpload({"A", "B", "C", "D", "E"});
  Transfer().Helped = true;
  Transfer().SetBlockBytes(kRecordBytes);
  testing::TScopedFaults faults;
  faults->Fail(platform::TFileOp::kOpen, "/out.dbf", /*nth=*/2, /*times=*/1);
  Transfer().Receive();
  EXPECT_EQ(Transfer().HelpersMade, 1);
  Release();
  EXPECT_EQ(ReadBytes(ImportPath("in.txt")),
            "A\t1\r\nB\t1\r\nC\t1\r\nD\t1\r\nE\t1\r\n");
}

TEST_F(TransferRuns, SendOnTwoThreadsWritesWhatOneThreadWrites) {
  struct TRun {
    std::string Table;
    std::int64_t Read, Written, Skipped, Cut, Replaced;
    bool operator==(const TRun&) const = default;
  };
  std::string text;
  const auto send = [&](std::size_t blockBytes, bool helped) {
    Transfer().Helped = helped;
    Transfer().SetBlockBytes(blockBytes);
    Transfer().Send();
    const TTransferCounts counts = Transfer().Counts();
    const int helpers = Transfer().HelpersMade;
    Release();
    EXPECT_EQ(helpers, helped && text.size() >= 4 * blockBytes ? 1 : 0);
    return TRun{ReadBytes(DownloadPath("out.dbf")),
                counts.Read,
                counts.Written,
                counts.Skipped,
                counts.Cut,
                counts.Replaced};
  };
  // From one line a block to several, with lines left out, cut and given a
  // stand-in anywhere; blocks of 20 and 40 bytes take two and three lines.
  for (const int count : {1, 4, 9, 23}) {
    text.clear();
    for (int i = 0; i < count; ++i) {
      const std::string code = i % 5 == 3 ? "SKIP"
                               : i % 7 == 2
                                   ? "LONGER-THAN-TEN" + std::to_string(i)
                               : i % 4 == 1 ? Cp1250(u8"„Q”").str()
                                            : "C" + std::to_string(i);
      text += code + "\t" + std::to_string(i) + "\r\n";
    }
    WriteExport("in.txt", text);
    for (const std::size_t blockBytes : {1U, 20U, 40U}) {
      EXPECT_EQ(send(blockBytes, true), send(blockBytes, false))
          << count << " lines, blocks of " << blockBytes;
    }
  }
}

TEST_F(TransferRuns, SendOnTwoThreadsRaisesTheErrorOfTheFirstLine) {
  // One line a block, taken by either thread: whichever fails first in the
  // file's order is reported and counted up to, and no table is left.
  const std::vector<std::pair<std::string, TFailure>> cases = {
      {"A\t1\r\nFAIL1\t1\r\nFAIL2\t1\r\nB\t1\r\nC\t1\r\n", {"FAIL1", 2, 1, 0}},
      {"FAIL0\t1\r\nFAIL1\t1\r\nA\t1\r\nB\t1\r\n", {"FAIL0", 1, 0, 0}},
      {"A\t1\r\nSKIP\t1\r\nC\t1\r\nD\t1\r\nFAIL4\t1\r\n", {"FAIL4", 5, 3, 1}}};
  for (const auto& [text, failure] : cases) {
    WriteExport("in.txt", text);
    Transfer().Helped = true;
    Transfer().SetBlockBytes(1);
    ExpectFailure([&] { Transfer().Send(); }, failure, DownloadDir());
  }
}

TEST_F(TransferRuns, SendOnTwoThreadsFailsWhereTheHostFileCannotBeRead) {
  // The second chunk of the file cannot be read: the lines of the first
  // are converted, then the run fails as on one thread.
  std::string text;
  for (int i = 0; i < 300'000; ++i) text += "A\t1\r\n";
  WriteExport("in.txt", text);
  for (const bool helped : {false, true}) {
    testing::TScopedFaults faults;
    faults->Fail(platform::TFileOp::kRead, "/in.txt", /*nth=*/2);
    Transfer().Helped = helped;
    Transfer().SetBlockBytes(std::size_t{64} << 10);
    EXPECT_THAT([&] { Transfer().Send(); },
                ::testing::ThrowsMessage<EBridgeError>(::testing::StrEq(
                    Cp1250(u8"Nie udało się odczytać pliku ").str() +
                    Join(ExportDir(), "in.txt"))));
    EXPECT_EQ(Transfer().HelpersMade, helped ? 1 : 0);
    const std::int64_t chunkLines = (std::int64_t{1} << 20) / 5;
    EXPECT_EQ(Transfer().Counts().Read, chunkLines) << helped;
    EXPECT_EQ(Transfer().Counts().Written, chunkLines) << helped;
    Release();
    EXPECT_THAT(ListNames(DownloadDir()), IsEmpty());
  }
}

TEST_F(TransferRuns, PendingImportsCountOnlyWhenNotEmpty) {
  EXPECT_FALSE(Transfer().ImportTextPending());
  WriteBytes(ImportPath("in.txt"), "");
  EXPECT_FALSE(Transfer().ImportTextPending());
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());  // the empty one is deleted
  WriteBytes(ImportPath("in.txt"), "x");
  EXPECT_TRUE(Transfer().ImportTextPending());
  // An empty one that cannot go would be taken by the host with this job's
  // other file: the job stops before it writes anything.
  WriteBytes(ImportPath("in.txt"), "");
  testing::TScopedFaults faults;
  faults->Fail(platform::TFileOp::kRemove, "/in.txt");
  EXPECT_THAT(
      [&] { Transfer().ImportTextPending(); },
      ::testing::ThrowsMessage<EBridgeError>(::testing::StrEq(
          Cp1250(u8"Nie można usunąć pliku: ").str() + ImportPath("in.txt"))));
}

TEST_F(TransferRuns, ArchivingBacksUpWhenEnabledAndDeletes) {
  WriteUpload({"A"});
  Config().SetValue("BACKUP", "1");
  EXPECT_TRUE(Transfer().UploadTableExists());
  const std::string before = ReadBytes(UploadPath("out.dbf"));
  Transfer().ArchiveUploadTable();
  EXPECT_FALSE(Transfer().UploadTableExists());
  EXPECT_EQ(ReadBytes(Join(UploadDir(), "backup/2005_03_07-14_05_09/out.dbf")),
            before);
  WriteUpload({"A"});
  Config().SetValue("BACKUP", "0");
  Transfer().ArchiveUploadTable();
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
}

TEST_F(TransferRuns, DeletingTheDownloadTableIgnoresAMissingOne) {
  EXPECT_TRUE(Transfer().DeleteDownloadTable());
  WriteBytes(DownloadPath("out.dbf"), "old");
  EXPECT_TRUE(Transfer().DeleteDownloadTable());
  EXPECT_THAT(ListNames(DownloadDir()), IsEmpty());
  ASSERT_TRUE(platform::CreateDir(DownloadPath("out.dbf")));
  EXPECT_FALSE(Transfer().DeleteDownloadTable());
}

}  // namespace
}  // namespace bridge
