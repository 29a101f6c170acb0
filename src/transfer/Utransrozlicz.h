// The settlements transfer: the host's list of unsettled documents,
// doknieroz.txt, becomes the device's credit table, so that the sales
// representative sees what each customer still owes. Every host record gives
// one table record, in file order. Layout "1.7.0" writes dok_kre.dbf with
// TTransRozlicz_v170, layout "1.8.0" writes kredyt.dbf with
// TTransRozlicz_v180.
#pragma once

#include <string_view>

#include "transfer/TransferTables.h"
#include "transfer/Utransmanager.h"

namespace bridge {

class TTransRozlicz_v170 : public TTransManager {
 public:
  // The send job passes "doknieroz.txt" and "dok_kre.dbf".
  TTransRozlicz_v170(TDateTime timestamp, std::string_view textName,
                     std::string_view tableName);

 protected:
  // Writes the fields that both layouts share: document type and number,
  // payer, dates and both amounts.
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Settlements only travel to the device.
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;

  // The definitions through which the values are written, by what each
  // carries; declared once per run by DefineDbfFields.
  TTableSlots& Fields() { return FFields; }

 private:
  TTableSlots FFields;
};

class TTransRozlicz_v180 final : public TTransRozlicz_v170 {
 public:
  // The send job passes "doknieroz.txt" and "kredyt.dbf".
  TTransRozlicz_v180(TDateTime timestamp, std::string_view textName,
                     std::string_view tableName);

 protected:
  // The shared fields, then the customer.
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
};

}  // namespace bridge
