#include "transfer/uMain2_jobs.h"

#include <memory>
#include <string>
#include <vector>

#include "app/Uprogramparams.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "transfer/Utransdokumenty.h"
#include "transfer/Utransgrupy.h"
#include "transfer/Utransinfo.h"
#include "transfer/Utranskontrah.h"
#include "transfer/Utransrozlicz.h"
#include "transfer/Utranstowary.h"

namespace bridge {

namespace {

constexpr auto kPendingImports = Cp1250(
    u8"Istnieją nieodebrane pliki *.txt - analizowanie plików *.dbf zostaje "
    u8"wstrzymane");

// Removes the text files a failed receive job gave their names, so the host
// never imports documents whose tables stay to be read again.
class TImportRollback {
 public:
  void Wrote(const std::string& path) { FPaths.push_back(path); }
  void Keep() { FPaths.clear(); }
  ~TImportRollback() {
    for (const std::string& path : FPaths) platform::DeleteFile(path);
  }
  TImportRollback() = default;
  TImportRollback(const TImportRollback&) = delete;
  TImportRollback& operator=(const TImportRollback&) = delete;

 private:
  std::vector<std::string> FPaths;
};

}  // namespace

void ReceiveJob() {
  CheckLayout();
  const TDateTime timestamp = platform::System().Now();
  const bool older = GetLayoutIndex() == 1;
  auto heads = std::make_unique<TTransDocHead>(
      timestamp, "dok.txt", older ? "dokument.dbf" : "dok_nagl.dbf");
  auto lines = std::make_unique<TTransDocPos>(
      *heads, timestamp, "poz.txt", older ? "poz_dok.dbf" : "dok_poz.dbf");
  if (heads->UploadTableExists() && lines->UploadTableExists()) {
    if (heads->ImportTextPending() || lines->ImportTextPending()) {
      throw EBridgeError(kPendingImports.str());
    }
    // Both text files stay under temporary names until both tables are
    // converted and backed up. The host imports dok.txt as soon as it sees
    // it, so poz.txt takes its name first; and no table goes before every
    // copy is made, so a failure at any step leaves both tables in place for
    // the next job and no text file behind.
    heads->Receive(TTransManager::TCommitText::kLater);
    lines->Receive(TTransManager::TCommitText::kLater);
    heads->BackupUploadTable();
    lines->BackupUploadTable();
    TImportRollback rollback;
    rollback.Wrote(lines->TextPath());
    lines->CommitText();
    rollback.Wrote(heads->TextPath());
    heads->CommitText();
    rollback.Keep();
    heads->DeleteUploadTable();
    lines->DeleteUploadTable();
  }
  lines.reset();
  heads.reset();
}

void SendJob() {
  CheckLayout();
  const TDateTime timestamp = platform::System().Now();
  auto contractors = std::make_unique<TTransKontrah>(
      timestamp, "kontrahent.txt", "klient.dbf");
  auto goods =
      std::make_unique<TTransTowary>(timestamp, "kartoteka.txt", "towar.dbf");
  std::unique_ptr<TTransManager> settlements;
  if (GetLayoutIndex() == 1) {
    settlements = std::make_unique<TTransRozlicz_v170>(
        timestamp, "doknieroz.txt", "dok_kre.dbf");
  } else {
    settlements = std::make_unique<TTransRozlicz_v180>(
        timestamp, "doknieroz.txt", "kredyt.dbf");
  }
  auto information =
      std::make_unique<TTransInfo>(timestamp, "konfiguracja.txt", "info.dbf");
  auto groups1 =
      std::make_unique<TTransGrupy>(timestamp, "grkart1.txt", "asort.dbf", 1);
  auto groups0 =
      std::make_unique<TTransGrupy>(timestamp, "grkart2.txt", "prod.dbf", 0);

  // Every old table goes before the first new one is written, so a job that
  // fails half-way never leaves an old table beside the new ones.
  information->DeleteDownloadTable();
  goods->DeleteDownloadTable();
  groups1->DeleteDownloadTable();
  groups0->DeleteDownloadTable();
  settlements->DeleteDownloadTable();
  contractors->DeleteDownloadTable();

  contractors->Send();
  settlements->Send();
  groups0->Send();
  groups1->Send();
  goods->Send();
  information->Send();

  settlements.reset();
  groups0.reset();
  groups1.reset();
  information.reset();
  goods.reset();
  contractors.reset();
}

}  // namespace bridge
