// The goods transfer: the host's stock register "kartoteka.txt" becomes the
// device's goods table "towar.dbf". Only goods whose index fits the device
// are sent; packaging and the other register kinds stay behind. Prices,
// stock levels and the minimal price are derived on the way, steered by the
// device parameters GRUPA_CEN_JAKO, CENA_MIN and EAN_SKROT.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "transfer/Utransmanager.h"

namespace bridge {

class TTransTowary final : public TTransManager {
 public:
  // Reads GRUPA_CEN_JAKO once, for the whole job.
  TTransTowary(TDateTime timestamp, std::string_view textName,
               std::string_view tableName);

  // Which host group becomes the device's price group in layout "1.8.0":
  // 1 for group 1, 2 for group 2, 0 for none.
  int PriceGroupMode() const { return FPriceGroupMode; }

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  bool SkipTextRecord(TZendorProRecord& textRecord) override;
  void BeforeRun() override;

 private:
  static constexpr int kPriceCount = 5;

  // The positions of the host values that the conversion reads, found once
  // per run from the definitions.
  struct THostFields {
    std::int32_t IdRodzajKart = -1;
    std::int32_t Indeks = -1;
    std::int32_t NazwaSkr = -1;
    std::int32_t NazwaDl = -1;
    std::int32_t StawkaVat = -1;
    std::int32_t Jm = -1;
    std::int32_t Pkwiu = -1;
    std::int32_t Stan = -1;
    std::array<std::int32_t, kPriceCount> CenaN{-1, -1, -1, -1, -1};
    std::int32_t Csp1Marza = -1;
    std::int32_t OpakIloscWOpak = -1;
    std::int32_t Cecha = -1;
    std::int32_t IdGrupaKart1 = -1;
    std::int32_t IdGrupaKart2 = -1;
    std::int32_t StanMin = -1;
    std::int32_t StanMax = -1;
    std::int32_t Ean = -1;
    std::int32_t OstCenaZak = -1;
    std::int32_t GrupaKart1KodZl = -1;
    std::int32_t GrupaKart2KodZl = -1;
    std::int32_t Uwagi = -1;
  };

  // The table's fields, found once per run; null where the layout in force
  // has no such field.
  struct TTableFields {
    const TDBFFieldDef* IdTowar = nullptr;
    const TDBFFieldDef* Nazwa = nullptr;
    const TDBFFieldDef* Skrot = nullptr;
    const TDBFFieldDef* Vat = nullptr;
    const TDBFFieldDef* Jm = nullptr;
    const TDBFFieldDef* SztOp = nullptr;
    std::array<const TDBFFieldDef*, kPriceCount> Cena{};
    const TDBFFieldDef* CenaMin = nullptr;
    const TDBFFieldDef* Pkwiu = nullptr;
    const TDBFFieldDef* Asort = nullptr;
    const TDBFFieldDef* Prod = nullptr;
    const TDBFFieldDef* Stan = nullptr;
    const TDBFFieldDef* StanMin = nullptr;
    const TDBFFieldDef* StanLevel = nullptr;
    const TDBFFieldDef* PromCykl = nullptr;
    const TDBFFieldDef* ZmienStan = nullptr;
    const TDBFFieldDef* ProcMarz = nullptr;
    const TDBFFieldDef* Status = nullptr;
    const TDBFFieldDef* GrupaCen = nullptr;
    const TDBFFieldDef* Uwagi = nullptr;
    const TDBFFieldDef* CenaZak = nullptr;
    const TDBFFieldDef* StanMax = nullptr;
    const TDBFFieldDef* Ean = nullptr;
  };

  // The device's VAT group number of a host rate text such as "22%".
  int VatCode(std::string_view rate) const;
  bool NewLayout() const { return FLayout != 1; }

  int FPriceGroupMode = 0;
  // Read once per run: the layout index, the year of the current date, the
  // first character of CENA_MIN and whether EAN_SKROT means yes.
  int FLayout = 1;
  int FCurrentYear = 0;
  char FMinPriceSource = '0';
  bool FEanAsShortName = false;
  THostFields FHost;
  TTableFields FFields;
};

}  // namespace bridge
