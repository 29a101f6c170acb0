// The groups transfer: one of the host's two hierarchical classifications of
// goods, "grkart1.txt" or "grkart2.txt", becomes a flat list of its
// top-level groups on the device, "asort.dbf" or "prod.dbf". Goods refer to
// these groups by the leading part of the host's compound group code, so the
// number is formed here the same way.
#pragma once

#include <string_view>

#include "transfer/TransferTables.h"
#include "transfer/Utransmanager.h"

namespace bridge {

class TTransGrupy final : public TTransManager {
 public:
  // The kinds of groupKind: group list 1 (grkart1.txt, the assortment
  // groups) goes to asort.dbf and field ID_ASORT, as any non-zero kind does;
  // group list 2 (grkart2.txt, the product groups) to prod.dbf and field
  // ID_PROD.
  static constexpr int kGroupList1 = 1;
  static constexpr int kGroupList2 = 0;

  TTransGrupy(TDateTime timestamp, std::string_view textName,
              std::string_view tableName, int groupKind);

  int GroupKind() const { return FGroupKind; }

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  bool SkipTextRecord(TZendorProRecord& textRecord) override;

 private:
  int FGroupKind;
  // The table's fields by what they carry, declared once per run.
  TTableSlots FFields;
};

}  // namespace bridge
