// Writes the sample upload of device 12: the document headers and lines a
// handheld in layout "1.7.0" leaves in its upload directory after a day of
// selling. The tables in samples/device/12/Upload/ were made with it:
//   forbook-sample-upload samples/device/12/Upload
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/DateTime.h"

namespace {

using bridge::Cp1250;
using bridge::EncodeDate;
using bridge::TDBF;
using bridge::TDBFRecord;

struct THead {
  const char* Payment;
  int Day;  // of March 2005
  int DueDay;
  double Gross;
  const char* Customer;
  const char* Type;
  const char* Number;
  std::string Remarks;
  bool Deleted;
};

struct TLine {
  const char* Type;
  const char* Number;
  const char* Article;
  double NetPrice;
  bool PriceAgreed;
  double Quantity;
  double Discount;
};

// The engine writes live records only; a device marks a cancelled one
// with "*" in its first byte, so the sample does that by hand.
bool MarkDeleted(const std::string& path, int index) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  unsigned char header[12] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  const int headerLength = header[8] | (header[9] << 8);
  const int recordLength = header[10] | (header[11] << 8);
  file.seekp(headerLength + index * recordLength);
  file.put('*');
  return static_cast<bool>(file);
}

bool WriteHeads(const std::string& path) {
  TDBF table;
  table.AddField("typ_plat", 'C', 3, 0);
  table.AddField("data_wyst", 'D', 8, 0);
  table.AddField("data_plat", 'D', 8, 0);
  table.AddField("wart_brut", 'N', 12, 2);
  table.AddField("id_kl", 'C', 15, 0);
  table.AddField("TYP_DOK", 'C', 3, 0);
  table.AddField("RODZAJ_DOK", 'N', 2, 0);
  table.AddField("numer", 'C', 25, 0);
  table.AddField("kp_typ_dok", 'C', 3, 0);
  table.AddField("kp_numer", 'C', 25, 0);
  table.AddField("uwagi", 'C', 60, 0);
  table.AddField("Data_dost", 'D', 8, 0);
  if (!table.CreateTable(path)) return false;
  const std::vector<THead> heads = {
      {"G", 7, 7, 184.50, "K0001", "FK", "FK/1/2005",
       Cp1250(u8"Dostawa do sklepu na zapleczu"), false},
      {"P", 7, 21, 1250.00, "K0002", "FK", "FK/2/2005",
       Cp1250(u8"Płatność przelewem, 14 dni"), false},
      {"G", 7, 7, 23.97, "K0003", "PA", "PA/1/2005", "", false},
      {"T", 7, 14, 310.20, "K0001", "ZA", "ZA/1/2005",
       Cp1250(u8"Zamówienie na środę"), false},
      {"G", 7, 7, 12.00, "K0002", "FK", "FK/3/2005",
       Cp1250(u8"Wystawiona omyłkowo"), true},
  };
  for (const THead& head : heads) {
    TDBFRecord& record = *table.NewRecord();
    record.SetString("typ_plat", head.Payment);
    record.SetDate("data_wyst", EncodeDate(2005, 3, head.Day));
    record.SetDate("data_plat", EncodeDate(2005, 3, head.DueDay));
    record.SetFloat("wart_brut", head.Gross);
    record.SetString("id_kl", head.Customer);
    record.SetString("TYP_DOK", head.Type);
    record.SetInteger("RODZAJ_DOK", 0);
    record.SetString("numer", head.Number);
    record.SetString("uwagi", head.Remarks);
    record.SetDate("Data_dost", EncodeDate(2005, 3, head.DueDay));
    if (!table.AppendRecord(record)) return false;
  }
  if (!table.Close()) return false;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    if (heads[i].Deleted && !MarkDeleted(path, static_cast<int>(i))) {
      return false;
    }
  }
  return true;
}

bool WriteLines(const std::string& path) {
  TDBF table;
  table.AddField("TYP_DOK", 'C', 3, 0);
  table.AddField("numer", 'C', 25, 0);
  table.AddField("ID_tow", 'C', 25, 0);
  table.AddField("Cena_net", 'N', 12, 2);
  table.AddField("CENA_USTAL", 'L', 1, 0);
  table.AddField("ilosc", 'N', 12, 3);
  table.AddField("RABAT", 'N', 6, 2);
  if (!table.CreateTable(path)) return false;
  const std::vector<TLine> lines = {
      {"FK", "FK/1/2005", "MAKA-450", 2.85, false, 40, 0},
      {"FK", "FK/1/2005", "CUKIER-1KG", 3.10, true, 12, 5},
      {"FK", "FK/2/2005", "OLEJ-RZEP-1L", 6.40, false, 150, 2.5},
      {"PA", "PA/1/2005", "CHLEB-ZYT", 3.25, false, 6.5, 0},
      {"ZA", "ZA/1/2005", "MLEKO-2%", 2.10, false, 120, 0},
      {"ZA", "ZA/1/2005", "MASLO-200", 5.90, true, 48, 3},
      {"FK", "FK/3/2005", "MAKA-450", 2.85, false, 4, 0},
  };
  for (const TLine& line : lines) {
    TDBFRecord& record = *table.NewRecord();
    record.SetString("TYP_DOK", line.Type);
    record.SetString("numer", line.Number);
    record.SetString("ID_tow", line.Article);
    record.SetFloat("Cena_net", line.NetPrice);
    record.SetBoolean("CENA_USTAL", line.PriceAgreed);
    record.SetFloat("ilosc", line.Quantity);
    record.SetFloat("RABAT", line.Discount);
    if (!table.AppendRecord(record)) return false;
  }
  return table.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: forbook-sample-upload <directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!WriteHeads(dir + "/dokument.dbf") || !WriteLines(dir + "/poz_dok.dbf")) {
    std::fprintf(stderr, "could not write the tables in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
