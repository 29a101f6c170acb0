#include "transfer/uMain2_jobs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "transfer/DocumentTablesTestSupport.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

// One contractor, one settlement, one group of each list and one article.
constexpr const char* kSampleFiles[] = {
    "kontrahent.txt", "doknieroz.txt", "grkart1.txt",     "grkart2.txt",
    "kartoteka.txt",  "bank.txt",      "konfiguracja.txt"};

class SendJobTest : public TTransferTest {
 protected:
  // The sample export of the project: every file of the send job.
  void WriteSampleExport() {
    for (const char* name : kSampleFiles) {
      WriteExport(name, ReadBytes(std::string(FORBOOK_SOURCE_DIR) +
                                  "/samples/host/12/Eksport/" + name));
    }
  }
  std::vector<std::string> Tables() { return ListNames(DownloadDir()); }
};

TEST_F(SendJobTest, WritesATableForEveryHostFileGiven) {
  WriteSampleExport();
  SendJob();
  EXPECT_THAT(Tables(), ElementsAre("asort.dbf", "dok_kre.dbf", "info.dbf",
                                    "klient.dbf", "prod.dbf", "towar.dbf"));
}

TEST_F(SendJobTest, DeletesOldTablesFirstAndWritesNoneForMissingFiles) {
  for (const char* old : {"info.dbf", "prod.dbf", "kredyt.dbf", "klient.dbf"}) {
    WriteBytes(DownloadPath(old), "old table");
  }
  WriteExport("grkart1.txt", "1\tNapoje\t\t\t\t\t\r\n");
  SendJob();
  // kredyt.dbf is the newer layout's: this layout leaves it alone.
  EXPECT_THAT(Tables(), ElementsAre("asort.dbf", "kredyt.dbf"));
}

TEST_F(SendJobTest, RunTwiceGivesTheSameTables) {
  WriteSampleExport();
  SendJob();
  std::vector<std::string> first;
  for (const std::string& name : Tables()) {
    first.push_back(ReadBytes(DownloadPath(name)));
  }
  SendJob();
  std::vector<std::string> second;
  for (const std::string& name : Tables()) {
    second.push_back(ReadBytes(DownloadPath(name)));
  }
  EXPECT_EQ(first, second);
}

TEST_F(SendJobTest, TheNewerLayoutNamesTheSettlementsTableKredyt) {
  Config().SetValue("WERSJA", "1.8.0");
  WriteSampleExport();
  SendJob();
  EXPECT_THAT(Tables(), Contains("kredyt.dbf"));
  EXPECT_THAT(Tables(), Not(Contains("dok_kre.dbf")));
}

TEST_F(SendJobTest, AFailedRunRemovesItsTableAndKeepsTheEarlierOnes) {
  WriteSampleExport();
  // An article table that cannot be written: a directory stands in its way
  // under the temporary name.
  ASSERT_TRUE(platform::CreateDir(DownloadPath("towar.dbf.tmp")));
  EXPECT_THROW(SendJob(), EBridgeError);
  EXPECT_THAT(Tables(), ElementsAre("asort.dbf", "dok_kre.dbf", "klient.dbf",
                                    "prod.dbf", "towar.dbf.tmp"));
}

TEST_F(SendJobTest, AnInvalidLayoutTouchesNothing) {
  Config().SetValue("WERSJA", "2.0");
  WriteSampleExport();
  EXPECT_THROW(SendJob(), EBridgeError);
  EXPECT_THAT(ListNames(FData.Str()), IsEmpty());
}

// --- The receive job -------------------------------------------------------

class ReceiveJobTest : public TTransferTest {
 protected:
  void WriteTables(int layout, const std::vector<TRow>& heads,
                   const std::vector<TRow>& lines,
                   std::vector<TColumn> lineColumns = {}) {
    Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
    WriteBytes(UploadPath(layout == 1 ? "dokument.dbf" : "dok_nagl.dbf"),
               TableBytes(HeadColumns(layout), heads));
    if (lineColumns.empty()) lineColumns = LineColumns(layout);
    WriteBytes(UploadPath(layout == 1 ? "poz_dok.dbf" : "dok_poz.dbf"),
               TableBytes(lineColumns, lines));
  }
  std::string Dok() { return ReadBytes(ImportPath("dok.txt")); }
  std::string Poz() { return ReadBytes(ImportPath("poz.txt")); }
  static long Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  }
};

TEST_F(ReceiveJobTest, DoesNothingWhileATableIsMissing) {
  WriteBytes(UploadPath("dokument.dbf"), TableBytes(HeadColumns(1), {Head(1)}));
  ReceiveJob();
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("dokument.dbf"));
}

TEST_F(ReceiveJobTest, ConvertsBothTablesThenArchivesThem) {
  Config().SetValue("BACKUP", "1");
  WriteTables(2, {Head(2)}, {Line(2), Line(2)});
  ReceiveJob();
  EXPECT_EQ(Lines(Dok()), 1);
  EXPECT_EQ(Lines(Poz()), 2);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
  EXPECT_THAT(ListNames(UploadDir() + "/backup/2005_03_07-14_05_09"),
              ElementsAre("dok_nagl.dbf", "dok_poz.dbf"));
}

TEST_F(ReceiveJobTest, AllRecordsDeletedGiveTwoEmptyFiles) {
  Config().SetValue("BACKUP", "0");
  WriteTables(1, {Head(1, {}, true)}, {Line(1, {}, true)});
  ReceiveJob();
  EXPECT_THAT(ListNames(ImportDir()), ElementsAre("dok.txt", "poz.txt"));
  EXPECT_EQ(Dok(), "");
  EXPECT_EQ(Poz(), "");
  EXPECT_THAT(ListNames(UploadDir()), IsEmpty());
}

TEST_F(ReceiveJobTest, RemovesEmptyPendingFilesAndGoesOn) {
  WriteTables(1, {Head(1)}, {Line(1)});
  WriteBytes(ImportPath("dok.txt"), "");
  WriteBytes(ImportPath("poz.txt"), "");
  ReceiveJob();
  EXPECT_NE(Dok(), "");
  EXPECT_NE(Poz(), "");
}

TEST_F(ReceiveJobTest, StopsWhileTheHostHasNotCollectedItsFiles) {
  for (const char* pending : {"dok.txt", "poz.txt"}) {
    WriteTables(1, {Head(1)}, {Line(1)});
    WriteBytes(ImportPath(pending), "waiting\r\n");
    EXPECT_THAT([] { ReceiveJob(); },
                ThrowsMessage<EBridgeError>(StrEq(
                    Cp1250(u8"Istnieją nieodebrane pliki *.txt - analizowanie "
                           u8"plików *.dbf zostaje wstrzymane")
                        .str())));
    EXPECT_THAT(ListNames(UploadDir()),
                ElementsAre("dokument.dbf", "poz_dok.dbf"));
    EXPECT_EQ(ReadBytes(ImportPath(pending)), "waiting\r\n");
    platform::DeleteFile(ImportPath(pending));
  }
}

TEST_F(ReceiveJobTest, AFailedLineRunLeavesNoImportAndTheTablesInPlace) {
  Config().SetValue("BACKUP", "1");
  std::vector<TColumn> withoutQuantity;
  for (const TColumn& column : LineColumns(1)) {
    if (column.Name != "ilosc") withoutQuantity.push_back(column);
  }
  TRow line = Line(1);
  line.Values.erase("ilosc");
  WriteTables(1, {Head(1)}, {line}, withoutQuantity);
  EXPECT_THROW(ReceiveJob(), EBridgeError);
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
  EXPECT_THAT(ListNames(UploadDir()),
              ElementsAre("dokument.dbf", "poz_dok.dbf"));

  // Mended, the next job converts everything, once.
  WriteTables(1, {Head(1)}, {Line(1)});
  ReceiveJob();
  EXPECT_EQ(Lines(Dok()), 1);
  EXPECT_EQ(Lines(Poz()), 1);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
}

TEST_F(ReceiveJobTest, AFailedBackupLeavesNoImportAndTheTablesInPlace) {
  Config().SetValue("BACKUP", "1");
  WriteTables(1, {Head(1)}, {Line(1)});
  WriteBytes(UploadDir() + "/backup", "a file where the folder goes");
  EXPECT_THROW(ReceiveJob(), EBridgeError);
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
  EXPECT_THAT(ListNames(UploadDir()),
              ElementsAre("backup", "dokument.dbf", "poz_dok.dbf"));
}

}  // namespace
}  // namespace bridge::testing
