// The contractors transfer: the host's contractor register, kontrahent.txt,
// becomes the device's customer table, klient.dbf. Every host record gives
// exactly one table record, in file order. The table's fields, their widths
// and a few conversions depend on the device table layout in force.
#pragma once

#include <string>
#include <string_view>

#include "transfer/TransferTables.h"
#include "transfer/Utransmanager.h"

namespace bridge {

class TTransKontrah final : public TTransManager {
 public:
  // The send job passes "kontrahent.txt" and "klient.dbf".
  TTransKontrah(TDateTime timestamp, std::string_view textName,
                std::string_view tableName);

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Contractors only travel to the device.
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Declares the fields of the run's layout.
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  // A large host file is converted on two threads.
  std::unique_ptr<TTransManager> NewHelper() const override;

 private:
  // The street followed by " house/flat", cut so that the number always
  // fits the width of the table's ULICA field: a long street loses its end,
  // never the number.
  // The result lives in FStreet until the next call.
  std::string_view ComposeStreet(const TZendorProRecord& textRecord);

  // Read once per run: the table fields that the conversion writes (by what
  // they carry) and the width of ULICA.
  TTableSlots FFields;
  int FStreetWidth = 0;
  // Reused by every record, so composing a street allocates nothing.
  std::string FStreet;
  std::string FSuffix;
};

}  // namespace bridge
