// The documents transfer: the documents that the sales representative issued
// on the device become the host's import files. The header table
// ("dokument.dbf" or "dok_nagl.dbf") gives "dok.txt", one line per document,
// and the line table ("poz_dok.dbf" or "dok_poz.dbf") gives "poz.txt", one
// line per document line. Both transfers only receive, and the head transfer
// runs first: the line transfer asks it which documents were priced from
// gross amounts.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Text.h"
#include "transfer/Utransmanager.h"

namespace bridge {

// The field definitions of "dok.txt" (26 lines) and "poz.txt" (12 lines), in
// the order of the values of a line.
std::vector<std::string> DocHeadDefinitionLines();
std::vector<std::string> DocPosDefinitionLines();

// The key under which a document is known across both tables: type and
// number, each upper-cased and trimmed, joined by ";".
std::string DocumentKey(std::string_view type, std::string_view number);

class TTransDocHead final : public TTransManager {
 public:
  // The receive job passes "dok.txt" and "dokument.dbf" or "dok_nagl.dbf".
  TTransDocHead(TDateTime timestamp, std::string_view textName,
                std::string_view tableName);
  ~TTransDocHead() override;

  // Whether a header read so far, in the newer layout, was priced from gross
  // amounts. Type and number are compared trimmed and in any case.
  bool IsGrossDocument(std::string_view type, std::string_view number) const;
  void AddGrossDocument(std::string_view type, std::string_view number);
  // The keys recorded, in the order of the headers, those of the headers
  // that a helper converted after the others; a document that occurs twice
  // is there twice.
  const std::vector<std::string>& GrossDocuments() const {
    return FGrossDocuments;
  }

 protected:
  // Documents only travel to the host.
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // The fields come from the uploaded table's own header.
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  void BeforeDbfToText(TDBFRecord& dbfRecord) override;
  void BeforeRun() override;
  // Keeps the stored blanks of the document type and number fields, and
  // finds the fields once for the run.
  void AfterDbfOpen(TDBF& table) override;
  // The headers are converted on two threads; the helper's gross documents
  // join these at the end.
  std::unique_ptr<TTransManager> NewHelper() const override;
  void TakeFromHelper(TTransManager& helper) override;

 private:
  struct TFields;

  std::unique_ptr<TFields> FFields;
  std::vector<std::string> FGrossDocuments;
  // The same keys, so that each of a million lines is looked up at once.
  std::unordered_set<std::string, TTextHash, std::equal_to<>> FGrossIndex;
};

class TTransDocPos final : public TTransManager {
 public:
  // heads is the head transfer of the same job; it must outlive this one and
  // have received before this one receives. The receive job passes
  // "poz.txt" and "poz_dok.dbf" or "dok_poz.dbf".
  TTransDocPos(const TTransDocHead& heads, TDateTime timestamp,
               std::string_view textName, std::string_view tableName);
  ~TTransDocPos() override;

 protected:
  // Document lines only travel to the host.
  void TextToDbf(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  void DbfToText(TZendorProRecord& textRecord, TDBFRecord& dbfRecord) override;
  // The fields come from the uploaded table's own header.
  void DefineDbfFields(TDBF& table) override;
  void DefineTextFields(TZendorProFile& textFile) override;
  void BeforeRun() override;
  // Finds the fields once for the run; trimming stays on.
  void AfterDbfOpen(TDBF& table) override;
  // The lines are converted on two threads; both only read the heads.
  std::unique_ptr<TTransManager> NewHelper() const override;

 private:
  struct TFields;
  bool IsGrossLine(std::string_view type, std::string_view number);

  const TTransDocHead& FHeads;
  std::unique_ptr<TFields> FFields;
  // A document's lines mostly follow one another, so the answer for the
  // line before serves as long as type and number stay as they were.
  struct TLastLookup {
    std::string Type;
    std::string Number;
    bool Gross = false;
  };
  std::optional<TLastLookup> FLast;
};

}  // namespace bridge
