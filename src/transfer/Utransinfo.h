// The device's settings table info.dbf: the sales representative, the
// seller's name, address, tax numbers and bank account that the device prints
// on its documents, the document number counters and the device's working
// switches. It merges the host's configuration export konfiguracja.txt with
// this device's parameters, and looks the bank account up in the host's
// bank.txt beside konfiguracja.txt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transfer/Utransmanager.h"

namespace bridge {

// konfiguracja.txt to info.dbf: every host record becomes one table record,
// in the layout of parameter WERSJA ("1.7.0": 37 fields, "1.8.0": 76).
class TTransInfo final : public TTransManager {
 public:
  TTransInfo(TDateTime timestamp, std::string_view textName,
             std::string_view tableName);
  ~TTransInfo() override;

  // The name of the bank of the seller's account, as the lookup found it.
  const std::string& BankName() const { return FBankName; }
  // The seller's account number: the matching bank.txt account, or else
  // parameter NR_KONTA itself.
  const std::string& AccountNumber() const { return FAccountNumber; }

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // Declares the fields of the run's layout.
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;

 private:
  // A declared field with the row that says what goes into it.
  struct TWrittenField;

  // Fills BankName and AccountNumber from bank.txt and parameter NR_KONTA.
  void LookUpBankAccount();

  std::string FBankName;
  std::string FAccountNumber;
  // Per run: the table's fields in declaration order, and whether the bank
  // account has been looked up.
  std::vector<TWrittenField> FFields;
  bool FBankLookedUp = false;
};

}  // namespace bridge
