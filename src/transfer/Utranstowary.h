// The goods transfer: the host's stock register "kartoteka.txt" becomes the
// device's goods table "towar.dbf". Only goods whose index fits the device
// are sent; packaging and the other register kinds stay behind. Prices,
// stock levels and the minimal price are derived on the way, steered by the
// device parameters GRUPA_CEN_JAKO, CENA_MIN and EAN_SKROT.
#pragma once

#include <string_view>

#include "transfer/TransferTables.h"
#include "transfer/Utransmanager.h"

namespace bridge {

class TTransTowary final : public TTransManager {
 public:
  // Reads GRUPA_CEN_JAKO once, for the whole job.
  TTransTowary(TDateTime timestamp, std::string_view textName,
               std::string_view tableName);

  // Which host group becomes the device's price group in layout "1.8.0",
  // by parameter GRUPA_CEN_JAKO.
  static constexpr int kNoPriceGroup = 0;
  static constexpr int kPriceGroupFromList1 = 1;
  static constexpr int kPriceGroupFromList2 = 2;
  int PriceGroupMode() const { return FPriceGroupMode; }

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  // A large host file is converted on two threads.
  std::unique_ptr<TTransManager> NewHelper() const override;
  bool SkipTextRecord(TZendorProRecord& textRecord) override;
  void BeforeRun() override;

 private:
  // The device's VAT group number of a host rate text such as "22%".
  int VatCode(std::string_view rate) const;

  int FPriceGroupMode = kNoPriceGroup;
  // Read once per run: the year of the current date, the first character of
  // CENA_MIN and whether EAN_SKROT means yes.
  int FCurrentYear = 0;
  char FMinPriceSource = '0';
  bool FEanAsShortName = false;
  // The table's fields by what they carry, declared once per run.
  TTableSlots FFields;
};

}  // namespace bridge
