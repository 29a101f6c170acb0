#include "transfer/Utransgrupy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;

struct TGroup {
  std::string Code;         // KODZLOZONY
  std::string Name;         // NAZWAGRUPY
  std::string Empty = "N";  // PUSTA
};

// One host line: ID_GRUPAKART, ID_GRUPAKARTNAD, KODGRUPY, NAZWAGRUPY,
// KODZLOZONY, NAZWAZLOZONA, PUSTA. The own code and the compound name differ
// from the values the device takes, so reading the wrong column shows.
std::string GroupLine(const TGroup& group) {
  return "11\t0\t99\t" + group.Name + "\t" + group.Code + "\tCOMPOUND/" +
         group.Name + "\t" + group.Empty + "\r\n";
}

struct TSent {
  std::string Number;
  std::string Name;
  bool operator==(const TSent&) const = default;
};

void PrintTo(const TSent& sent, std::ostream* out) {
  *out << "{" << sent.Number << ", " << sent.Name << "}";
}

class TGrupyTest : public TTransferTest {
 protected:
  // Sends the groups as list 1 (asort.dbf) or list 2 (prod.dbf).
  void Send(int kind, const std::vector<TGroup>& groups) {
    std::string text;
    for (const TGroup& group : groups) text += GroupLine(group);
    const bool list1 = kind != TTransGrupy::kGroupList2;
    WriteExport(list1 ? "grkart1.txt" : "grkart2.txt", text);
    TTransGrupy(FNow, list1 ? "grkart1.txt" : "grkart2.txt",
                list1 ? "asort.dbf" : "prod.dbf", kind)
        .Send();
  }

  std::vector<TSent> Records(std::string_view table, std::string_view field) {
    std::vector<TSent> records;
    TDBF dbf;
    EXPECT_TRUE(dbf.Open(DownloadPath(table)));
    for (dbf.First(); !dbf.Eof(); dbf.Next()) {
      const TDBFRecord& r = *dbf.ReadRecord();
      records.push_back({r.GetString(field), r.GetString("NAZWA")});
    }
    return records;
  }

  std::vector<TSent> SentAsort(const std::vector<TGroup>& groups) {
    Send(TTransGrupy::kGroupList1, groups);
    return Records("asort.dbf", "ID_ASORT");
  }
};

// Name, type, length and decimals of each descriptor, then the end marker.
std::string DescriptorBytesOf(const std::string& path) {
  const std::string file = ReadBytes(path);
  std::string bytes;
  std::size_t at = 32;
  while (at < file.size() && file[at] != '\x0D') {
    bytes += file.substr(at, 12) + file.substr(at + 16, 2);
    at += 32;
  }
  return bytes + (at < file.size() ? "\x0D" : "");
}

std::string Descriptor(std::string name, char type, int length) {
  name.resize(11, '\0');
  return name + type + static_cast<char>(length) + '\0';
}

// --- The tables' fields ------------------------------------------------------

TEST_F(TGrupyTest, EachListDeclaresItsNumberAndANameOfTheLayoutsWidth) {
  const std::vector<TGroup> one = {{"1", "A"}};
  for (const auto& [layout, width] :
       {std::pair{"1.7.0", 15}, std::pair{"1.8.0", 20}}) {
    SCOPED_TRACE(layout);
    Config().SetValue("WERSJA", layout);
    Send(TTransGrupy::kGroupList1, one);
    EXPECT_TRUE(SameBytes(DescriptorBytesOf(DownloadPath("asort.dbf")),
                          Descriptor("ID_ASORT", 'N', 3) +
                              Descriptor("NAZWA", 'C', width) + "\x0D"));
    Send(TTransGrupy::kGroupList2, one);
    EXPECT_TRUE(SameBytes(DescriptorBytesOf(DownloadPath("prod.dbf")),
                          Descriptor("ID_PROD", 'N', 3) +
                              Descriptor("NAZWA", 'C', width) + "\x0D"));
  }
}

TEST_F(TGrupyTest, AnyNonZeroKindIsList1) {
  WriteExport("grkart1.txt", GroupLine({"4", "D"}));
  TTransGrupy(FNow, "grkart1.txt", "asort.dbf", 7).Send();
  EXPECT_THAT(Records("asort.dbf", "ID_ASORT"), ElementsAre(TSent{"4", "D"}));
}

// --- Which groups are sent ---------------------------------------------------

TEST_F(TGrupyTest, OnlyTopLevelGroupsAreSentInFileOrder) {
  EXPECT_THAT(SentAsort({{"10", "Top"},
                         {"10-1", "Sub"},
                         {"10-1-5", "SubSub"},
                         {"3", "Other"},
                         {"-", "Dash"}}),
              ElementsAre(TSent{"10", "Top"}, TSent{"3", "Other"}));
}

TEST_F(TGrupyTest, EmptyGroupsStayBehind) {
  EXPECT_THAT(
      SentAsort({{"1", "Flagged", "T"},
                 {"2", "Lower", "t"},
                 {"3", "Blank", ""},
                 {"4", "No", "N"},
                 {"5", "Other", "1"}}),
      ElementsAre(TSent{"3", "Blank"}, TSent{"4", "No"}, TSent{"5", "Other"}));
}

TEST_F(TGrupyTest, OnlySubGroupsAndEmptyGroupsLeaveNoTable) {
  WriteBytes(DownloadPath("prod.dbf"), "old");
  Send(TTransGrupy::kGroupList2, {{"1-1", "Sub"}, {"2", "Empty", "T"}});
  EXPECT_FALSE(platform::FileExists(DownloadPath("prod.dbf")));
}

// --- Values --------------------------------------------------------------

TEST_F(TGrupyTest, NumberIsTheCodeReadAsAWholeNumber) {
  EXPECT_THAT(SentAsort({{" 7", "Blank"},
                         {"ABC", "Letters"},
                         {"", "NoCode"},
                         {"12", "First"},
                         {"12", "Second"}}),
              ElementsAre(TSent{"7", "Blank"}, TSent{"0", "Letters"},
                          TSent{"0", "NoCode"}, TSent{"12", "First"},
                          TSent{"12", "Second"}));
}

TEST_F(TGrupyTest, NameIsCutToTheLayoutsWidth) {
  const std::string name = Cp1250(u8"Środki czystości a").str();  // 18
  Config().SetValue("WERSJA", "1.7.0");
  Send(TTransGrupy::kGroupList2, {{"1", name}});
  EXPECT_THAT(Records("prod.dbf", "ID_PROD"),
              ElementsAre(TSent{"1", name.substr(0, 15)}));
  Config().SetValue("WERSJA", "1.8.0");
  Send(TTransGrupy::kGroupList2, {{"1", name}});
  EXPECT_THAT(Records("prod.dbf", "ID_PROD"), ElementsAre(TSent{"1", name}));
}

}  // namespace
}  // namespace bridge::testing
