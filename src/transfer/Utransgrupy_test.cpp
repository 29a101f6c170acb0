#include "transfer/Utransgrupy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;

const std::vector<std::string> kColumns = {
    "ID_GRUPAKART", "ID_GRUPAKARTNAD", "KODGRUPY", "NAZWAGRUPY",
    "KODZLOZONY",   "NAZWAZLOZONA",    "PUSTA"};

// One host line. The own code and the compound name differ from the values
// the device takes, so reading the wrong column shows.
TValues Group(const std::string& code, const std::string& name,
              const std::string& empty = "N") {
  return {{"ID_GRUPAKART", "11"}, {"ID_GRUPAKARTNAD", "0"},
          {"KODGRUPY", "99"},     {"NAZWAGRUPY", name},
          {"KODZLOZONY", code},   {"NAZWAZLOZONA", "COMPOUND/" + name},
          {"PUSTA", empty}};
}

class TGrupyTest : public TTransferTest {
 protected:
  // Group list 1 as the send job sends it, to asort.dbf.
  std::vector<TValues> SendList1(const std::vector<TValues>& groups) {
    return SendLines<TTransGrupy>("grkart1.txt", kColumns, groups, "asort.dbf",
                                  TTransGrupy::kGroupList1);
  }
  // Group list 2, to prod.dbf.
  std::vector<TValues> SendList2(const std::vector<TValues>& groups) {
    return SendLines<TTransGrupy>("grkart2.txt", kColumns, groups, "prod.dbf",
                                  TTransGrupy::kGroupList2);
  }
};

TEST_F(TGrupyTest, OnlyTopLevelGroupsWithGoodsAreSentInFileOrder) {
  EXPECT_THAT(
      Column(SendList1({Group("10", "Top"), Group("10-1", "Sub"),
                        Group("10-1-5", "SubSub"), Group("-", "Dash"),
                        Group("1", "Flagged", "T"), Group("2", "Lower", "t"),
                        Group("3", "Blank", ""), Group("4", "No", "N"),
                        Group("5", "Other", "1")}),
             "ID_ASORT"),
      ElementsAre("10", "3", "4", "5"));
}

TEST_F(TGrupyTest, AnyNonZeroKindIsList1) {
  EXPECT_EQ(SendLines<TTransGrupy>("grkart1.txt", kColumns, {Group("4", "D")},
                                   "asort.dbf", 7),
            std::vector<TValues>({{{"ID_ASORT", "4"}, {"NAZWA", "D"}}}));
}

TEST_F(TGrupyTest, EachListConvertsEachValue) {
  const std::string name18 = Cp1250(u8"Środki czystości a").str();
  const std::vector<TValueCase> list1 = {
      // The number is the code read as a whole number.
      {Group(" 7", "Blank"), "ID_ASORT", "7"},
      {Group("ABC", "Letters"), "ID_ASORT", "0"},
      {Group("", "NoCode"), "ID_ASORT", "0"},
      {Group("12", "First"), "ID_ASORT", "12"},
      {Group("12", "Second"), "ID_ASORT", "12"},
      {Group("12", "Second"), "NAZWA", "Second"},
      // The name is cut to the layout's width.
      {Group("1", name18), "NAZWA", name18.substr(0, 15)},
  };
  UseLayout("1.7.0");
  ExpectCases(list1, [this](const auto& lines) { return SendList1(lines); });
  ExpectCases({{Group(" 8", "P"), "ID_PROD", "8"},
               {Group("8", name18), "NAZWA", name18.substr(0, 15)}},
              [this](const auto& lines) { return SendList2(lines); });
  UseLayout("1.8.0");
  ExpectCases({{Group("1", name18), "NAZWA", name18}},
              [this](const auto& lines) { return SendList1(lines); });
  ExpectCases({{Group("8", name18), "NAZWA", name18}},
              [this](const auto& lines) { return SendList2(lines); });
}

}  // namespace
}  // namespace bridge::testing
