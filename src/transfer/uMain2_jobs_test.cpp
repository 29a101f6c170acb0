#include "transfer/uMain2_jobs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "transfer/DocumentTablesTestSupport.h"
#include "transfer/TransferTestSupport.h"
#include "transfer/Utranskontrah.h"
#include "transfer/Utransrozlicz.h"
#include "transfer/Utranstowary.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

class SendJobTest : public TTransferTest {
 protected:
  std::vector<std::string> Tables() { return ListNames(DownloadDir()); }

  // The sample export sent in a layout gives the golden tables of
  // testdata/send-<layout>/ byte for byte, and no other table.
  void ExpectGoldenTables(std::string_view layout) {
    UseGoldenSetting(layout);
    SendJob();
    ASSERT_EQ(Tables(), ListNames(Golden(layout)));
    for (const std::string& table : Tables()) {
      ExpectGolden(layout, table);
    }
  }
  // The same for the transfers of large host files on two threads, with
  // one line a block.
  void ExpectGoldenTablesOnTwoThreads(std::string_view layout) {
    UseGoldenSetting(layout);
    const TDateTime now = platform::System().Now();
    const bool newer = layout == "1.8.0";
    TTransKontrah contractors(now, "kontrahent.txt", "klient.dbf");
    TTransTowary goods(now, "kartoteka.txt", "towar.dbf");
    TTransRozlicz_v170 older(now, "doknieroz.txt", "dok_kre.dbf");
    TTransRozlicz_v180 settlements(now, "doknieroz.txt", "kredyt.dbf");
    for (TTransManager* transfer :
         {static_cast<TTransManager*>(&contractors),
          static_cast<TTransManager*>(&goods),
          newer ? static_cast<TTransManager*>(&settlements) : &older}) {
      transfer->SetBlockBytes(1);
      transfer->Send();
      ExpectGolden(layout, transfer->TableName());
    }
  }

 private:
  static std::string Golden(std::string_view layout) {
    return std::string(FORBOOK_SOURCE_DIR) + "/src/transfer/testdata/send-" +
           std::string(layout);
  }
  void UseGoldenSetting(std::string_view layout) {
    // The day the golden tables are dated; a year after 2010 also fixes the
    // VAT group of 5%.
    FSystem.System().Now = [] {
      return EncodeDateTime({2024, 12, 2, 9, 30, 0, 0});
    };
    UseLayout(layout);
    Config().SetValue("NR_KONTA", "1");
    WriteSampleExport();
  }
  void ExpectGolden(std::string_view layout, const std::string& table) {
    EXPECT_TRUE(SameBytes(ReadBytes(DownloadPath(table)),
                          ReadBytes(Join(Golden(layout), table))))
        << table;
  }
};

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

TEST_F(SendJobTest, SampleExportGivesTheGoldenTablesOf170) {
  ExpectGoldenTables("1.7.0");
}

TEST_F(SendJobTest, SampleExportGivesTheGoldenTablesOf180) {
  ExpectGoldenTables("1.8.0");
}

TEST_F(SendJobTest, LargeFilesOnTwoThreadsGiveTheGoldenTablesToo) {
  ExpectGoldenTablesOnTwoThreads("1.7.0");
  ExpectGoldenTablesOnTwoThreads("1.8.0");
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
  std::string Dok() { return ReadBytes(ImportPath("dok.txt")); }
  std::string Poz() { return ReadBytes(ImportPath("poz.txt")); }
  static std::ptrdiff_t Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  }
};

TEST_F(ReceiveJobTest, DoesNothingWhileATableIsMissing) {
  WriteBytes(UploadPath("dokument.dbf"), TableBytes(HeadColumns(1), {Head(1)}));
  ReceiveJob();
  EXPECT_FALSE(platform::DirectoryExists(ImportDirPath()));
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("dokument.dbf"));
}

TEST_F(ReceiveJobTest, ConvertsBothTablesThenArchivesThem) {
  Config().SetValue("BACKUP", "1");
  WriteUploads(2, {Head(2)}, {Line(2), Line(2)});
  ReceiveJob();
  EXPECT_EQ(Lines(Dok()), 1);
  EXPECT_EQ(Lines(Poz()), 2);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
  EXPECT_THAT(ListNames(Join(UploadDir(), "backup/2005_03_07-14_05_09")),
              ElementsAre("dok_nagl.dbf", "dok_poz.dbf"));
}

TEST_F(ReceiveJobTest, AllRecordsDeletedGiveTwoEmptyFiles) {
  Config().SetValue("BACKUP", "0");
  WriteUploads(1, {Head(1, {}, true)}, {Line(1, {}, true)});
  ReceiveJob();
  EXPECT_THAT(ListNames(ImportDir()), ElementsAre("dok.txt", "poz.txt"));
  EXPECT_EQ(Dok(), "");
  EXPECT_EQ(Poz(), "");
  EXPECT_THAT(ListNames(UploadDir()), IsEmpty());
}

TEST_F(ReceiveJobTest, RemovesEmptyPendingFilesAndGoesOn) {
  WriteUploads(1, {Head(1)}, {Line(1)});
  WriteBytes(ImportPath("dok.txt"), "");
  WriteBytes(ImportPath("poz.txt"), "");
  ReceiveJob();
  EXPECT_NE(Dok(), "");
  EXPECT_NE(Poz(), "");
}

TEST_F(ReceiveJobTest, StopsWhileTheHostHasNotCollectedItsFiles) {
  for (const char* pending : {"dok.txt", "poz.txt"}) {
    WriteUploads(1, {Head(1)}, {Line(1)});
    WriteBytes(ImportPath(pending), "waiting\r\n");
    EXPECT_THAT([] { ReceiveJob(); },
                ThrowsMessage<EBridgeError>(StrEq(
                    Cp1250(u8"Istnieją nieodebrane pliki *.txt - analizowanie "
                           u8"plików *.dbf zostaje wstrzymane")
                        .str())));
    EXPECT_THAT(ListNames(UploadDir()),
                ElementsAre("dokument.dbf", "poz_dok.dbf"));
    EXPECT_EQ(ReadBytes(ImportPath(pending)), "waiting\r\n");
    EXPECT_TRUE(platform::RemoveFile(ImportPath(pending)));
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
  WriteUploads(1, {Head(1)}, {line}, withoutQuantity);
  EXPECT_THROW(ReceiveJob(), EBridgeError);
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
  EXPECT_THAT(ListNames(UploadDir()),
              ElementsAre("dokument.dbf", "poz_dok.dbf"));

  // Mended, the next job converts everything, once.
  WriteUploads(1, {Head(1)}, {Line(1)});
  ReceiveJob();
  EXPECT_EQ(Lines(Dok()), 1);
  EXPECT_EQ(Lines(Poz()), 1);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
}

}  // namespace
}  // namespace bridge::testing
