// The settlements transfer: the host's list of unsettled documents,
// doknieroz.txt, becomes the device's credit table, so that the sales
// representative sees what each customer still owes. Every host record gives
// one table record, in file order. Layout "1.7.0" writes dok_kre.dbf, layout
// "1.8.0" kredyt.dbf, with fields named and sized apart and a customer of its
// own; the send job builds TTransRozlicz_v170 or TTransRozlicz_v180 with the
// table name of the layout in force.
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
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Settlements only travel to the device.
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Declares the fields of the run's layout.
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  // A large host file is converted on two threads.
  std::unique_ptr<TTransManager> NewHelper() const override;

 private:
  // The table's fields by what they carry, declared once per run.
  TTableSlots FFields;
};

// The same conversion, which follows the run's layout, under the name that
// the send job builds for layout "1.8.0".
class TTransRozlicz_v180 final : public TTransRozlicz_v170 {
 public:
  // The send job passes "doknieroz.txt" and "kredyt.dbf".
  TTransRozlicz_v180(TDateTime timestamp, std::string_view textName,
                     std::string_view tableName);

 protected:
  std::unique_ptr<TTransManager> NewHelper() const override;
};

}  // namespace bridge
