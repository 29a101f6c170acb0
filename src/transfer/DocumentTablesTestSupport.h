// Document tables as a device writes them, byte by byte, for the tests of
// the receive direction: field names keep the device's mixed case and
// records can carry the deletion flag.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "testing/DbfBytes.h"

namespace bridge::testing {

// --- Device tables as a device writes them ---------------------------------

using TValues = std::map<std::string, std::string>;

struct TRow {
  TValues Values;
  bool Deleted = false;
};

// The rows' values placed in their columns: numbers from the right,
// everything else from the left.
inline std::string TableBytes(const std::vector<TColumn>& columns,
                              const std::vector<TRow>& rows) {
  std::vector<std::string> records;
  for (const TRow& row : rows) {
    std::string& record = records.emplace_back(row.Deleted ? "*" : " ");
    for (const auto& [name, value] : row.Values) {
      bool known = false;
      for (const TColumn& column : columns) known |= column.Name == name;
      EXPECT_TRUE(known) << "no column " << name;
    }
    for (const TColumn& column : columns) {
      const auto found = row.Values.find(column.Name);
      std::string value = found == row.Values.end() ? "" : found->second;
      const auto length = static_cast<std::size_t>(column.Length);
      EXPECT_LE(value.size(), length) << column.Name;
      value.resize(std::min(value.size(), length));
      const std::string blanks(length - value.size(), ' ');
      record += column.Type == 'N' ? blanks + value : value + blanks;
    }
  }
  return TableBytes(TTableImage(columns, records));
}

inline std::vector<TColumn> HeadColumns(int layout) {
  if (layout == 1) {
    return {{"typ_plat", 'C', 3},   {"data_wyst", 'D', 8},
            {"data_plat", 'D', 8},  {"wart_brut", 'N', 12, 2},
            {"id_kl", 'C', 15},     {"TYP_DOK", 'C', 3},
            {"RODZAJ_DOK", 'N', 2}, {"numer", 'C', 25},
            {"kp_typ_dok", 'C', 3}, {"kp_numer", 'C', 25},
            {"uwagi", 'C', 60},     {"Data_dost", 'D', 8}};
  }
  return {{"typ_plat", 'C', 3},      {"anulowany", 'L', 1},
          {"data_dok", 'D', 8},      {"data_plat", 'D', 8},
          {"wart_brut", 'N', 12, 2}, {"id_platnik", 'C', 15},
          {"TYP_DOK", 'C', 6},       {"RODZAJ_DOK", 'N', 2},
          {"numer", 'C', 25},        {"kp_typ_dok", 'C', 6},
          {"kp_numer", 'C', 25},     {"uwagi", 'C', 60},
          {"Data_dost", 'D', 8},     {"cecha1", 'C', 35},
          {"cecha2", 'C', 35},       {"id_klient", 'C', 15},
          {"ID_DOSTAWA", 'C', 15},   {"drukowany", 'N', 2},
          {"fiskalny", 'L', 1},      {"Brutto", 'L', 1}};
}

inline std::vector<TColumn> LineColumns(int layout) {
  if (layout == 1) {
    return {{"TYP_DOK", 'C', 3},    {"numer", 'C', 25},
            {"ID_tow", 'C', 25},    {"Cena_net", 'N', 12, 2},
            {"CENA_USTAL", 'L', 1}, {"ilosc", 'N', 12, 3},
            {"RABAT", 'N', 6, 2}};
  }
  return {{"TYP_DOK", 'C', 6},       {"numer", 'C', 25},
          {"Id_towar", 'C', 25},     {"Cena_netto", 'N', 12, 2},
          {"Cena_brut", 'N', 12, 2}, {"uwagi", 'C', 60},
          {"cecha", 'C', 35},        {"data_wazn", 'D', 8},
          {"CENA_USTAL", 'L', 1},    {"ilosc", 'N', 12, 3},
          {"RABAT", 'N', 6, 2}};
}

inline TValues With(TValues values, const TValues& changes) {
  for (const auto& [name, value] : changes) values[name] = value;
  return values;
}

// A cash invoice paid on the day of issue.
inline TRow Head(int layout, const TValues& changes = {},
                 bool deleted = false) {
  TValues values = {{"typ_plat", "G"},        {"data_plat", "20050307"},
                    {"wart_brut", "123.45"},  {"TYP_DOK", "FK"},
                    {"RODZAJ_DOK", "0"},      {"numer", "12/2005"},
                    {"Data_dost", "20050310"}};
  if (layout == 1) {
    values["data_wyst"] = "20050307";
    values["id_kl"] = "K1";
  } else {
    values["data_dok"] = "20050307";
    values["id_platnik"] = "K1";
    values["anulowany"] = "F";
    values["Brutto"] = "F";
  }
  return {With(values, changes), deleted};
}

inline TRow Line(int layout, const TValues& changes = {},
                 bool deleted = false) {
  TValues values = {{"TYP_DOK", "FK"},
                    {"numer", "12/2005"},
                    {"CENA_USTAL", "T"},
                    {"ilosc", "2.5"},
                    {"RABAT", "5"}};
  if (layout == 1) {
    values["ID_tow"] = "T-100";
    values["Cena_net"] = "10.5";
  } else {
    values["Id_towar"] = "T-100";
    values["Cena_netto"] = "10.5";
    values["Cena_brut"] = "12.92";
  }
  return {With(values, changes), deleted};
}

// --- Host lines -----------------------------------------------------------
//
// What the receive direction writes for the default Head() and Line().

inline std::vector<std::string> DokNames() {
  return {"IDKONTRAH",   "DATA",           "NAZWADOK",      "NRDOK",
          "TERMIN",      "PLATNOSC",       "SUMA",          "ILEPOZ",
          "GOTOWKA",     "DOT_DATA",       "DOT_NAZWADOK",  "DOT_NRDOK",
          "ANULOWANY",   "UWAGI",          "NRZLEC",        "CECHA_1",
          "CECHA_2",     "CECHA_3",        "IDKONTRAHODB",  "DATAOBOW",
          "CECHA_4",     "CECHA_5",        "IDKONTRAHDOST", "MAGAZYN",
          "WYDRUKOWANY", "ZAFISKALIZOWANY"};
}

inline std::vector<std::string> PozNames() {
  return {"NAZWADOK", "NRDOK",     "KODTOW",   "ILOSC",
          "CENA",     "PROCBONIF", "CENA_UZG", "CENA_BRUTTO",
          "UWAGI",    "CECHA_1",   "CECHA_2",  "CECHA_3"};
}

inline std::string Padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// One written line: the values in the order of the names, TABs between
// them, CR LF at the end. A name not given stays empty.
inline std::string HostLine(const std::vector<std::string>& names,
                            const TValues& values) {
  std::string line;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) line += '\t';
    const auto found = values.find(names[i]);
    if (found != values.end()) line += found->second;
  }
  for (const auto& [name, value] : values) {
    bool known = false;
    for (const std::string& defined : names) known |= defined == name;
    EXPECT_TRUE(known) << "no host field " << name;
  }
  return line + "\r\n";
}

// What the default head gives.
inline std::string DokLine(int layout, const TValues& changes = {}) {
  TValues values = {{"IDKONTRAH", "K1"},
                    {"DATA", "2005-03-07"},
                    {"NAZWADOK", "FA"},
                    {"NRDOK", Padded("12/2005", 25)},
                    {"TERMIN", "2005-03-07"},
                    {"PLATNOSC", Cp1250(u8"Gotówka")},
                    {"SUMA", "123.45"},
                    {"ILEPOZ", "0"},
                    {"GOTOWKA", "123.45"},
                    {"DOT_DATA", "1899-12-31"},
                    {"DOT_NRDOK", Padded("", 25)},
                    {"ANULOWANY", "N"},
                    {"DATAOBOW", "2005-03-10"}};
  if (layout == 2) {
    values["WYDRUKOWANY"] = "N";
    values["ZAFISKALIZOWANY"] = "N";
  }
  return HostLine(DokNames(), With(values, changes));
}

// What the default line gives.
inline std::string PozLine(int layout, const TValues& changes = {}) {
  TValues values = {{"NAZWADOK", "FA"},  {"NRDOK", "12/2005"},
                    {"KODTOW", "T-100"}, {"ILOSC", "2.500"},
                    {"CENA", "10.50"},   {"PROCBONIF", "5.00"},
                    {"CENA_UZG", "T"}};
  if (layout == 2) values["CENA_BRUTTO"] = "N";
  return HostLine(PozNames(), With(values, changes));
}

}  // namespace bridge::testing
