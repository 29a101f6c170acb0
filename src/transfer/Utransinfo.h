// The device's settings table info.dbf: the sales representative, the
// seller's name, address, tax numbers and bank account that the device prints
// on its documents, the document number counters and the device's working
// switches. It merges the host's configuration export konfiguracja.txt with
// this device's parameters, and looks the bank account up in the host's
// bank.txt beside konfiguracja.txt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/Utransmanager.h"

namespace bridge {

// The field definitions of the host's list of the seller's bank accounts,
// bank.txt. It is never run: TTransInfo reads that file itself and borrows
// only these definitions.
class TTransBank final : public TTransManager {
 public:
  TTransBank(TDateTime timestamp, std::string_view textName,
             std::string_view tableName);

  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  // Public, so that the bank lookup can define the file it opens itself.
  void DefineTextFields(TZendorProFile& textFile) override;
};

// konfiguracja.txt to info.dbf: every host record becomes one table record,
// in the layout of parameter WERSJA ("1.7.0": 37 fields, "1.8.0": 76).
class TTransInfo final : public TTransManager {
 public:
  TTransInfo(TDateTime timestamp, std::string_view textName,
             std::string_view tableName);

  // The name of the bank of the seller's account, as the lookup found it.
  const std::string& BankName() const { return FBankName; }
  // The seller's account number: the matching bank.txt account, or else
  // parameter NR_KONTA itself.
  const std::string& AccountNumber() const { return FAccountNumber; }

 protected:
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;

 private:
  enum class TWrite : std::uint8_t {
    kText,  // the same text in every record of the run
    kInteger,
    kNumber,
    kFlag,
    kFirstName,
    kSurname,
    kHostText,
    kHostIntegerText,
    kAddressLine1,
    kAddressLine2,
  };
  // One table field of the run with what goes into it.
  struct TBoundField {
    const TDBFFieldDef* Field = nullptr;
    TWrite Write = TWrite::kText;
    std::int32_t HostIndex = -1;
    std::string Text;
    std::int32_t Integer = 0;
    double Number = 0;
    bool Flag = false;
  };

  // Fills BankName and AccountNumber from bank.txt and parameter NR_KONTA.
  void LookUpBankAccount();
  // Binds the declared fields to their values, reading every value that is
  // the same for all records of the run.
  void Prepare();

  std::string FBankName;
  std::string FAccountNumber;

  // Per run: the layout the table was declared in, its fields in declaration
  // order, and what Prepare bound.
  bool FNewLayout = false;
  std::vector<const TDBFFieldDef*> FDeclared;
  bool FPrepared = false;
  std::vector<TBoundField> FBound;
  std::string FFirstName;
  std::string FSurname;
  std::string FAddressLine1;
  std::string FAddressLine2;
};

}  // namespace bridge
