#include "transfer/uMain2_jobs.h"

#include <initializer_list>
#include <memory>
#include <string>

#include "app/Uglobal.h"
#include "app/Umessages.h"
#include "app/Uprogramparams.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "transfer/ReceiveCommit.h"
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

// Every table a send job writes, in either layout.
constexpr const char* kSendTables[] = {"klient.dbf", "towar.dbf", "dok_kre.dbf",
                                       "kredyt.dbf", "info.dbf",  "asort.dbf",
                                       "prod.dbf"};

// A table a stopped send job was writing stays under its temporary name.
void RemoveAbandonedTables() {
  const std::string directory = DownloadDir();
  for (const char* table : kSendTables) {
    const std::string path =
        TDBF::TemporaryPathOf(directory + platform::kPathDelimiter + table);
    if (!platform::RemoveFile(path)) {
      throw EBridgeError(std::string(kCannotRemove.view()) + path);
    }
  }
}

}  // namespace

void ReceiveJob() {
  CheckLayout();
  const TDateTime timestamp = platform::System().Now();
  const bool older = GetLayoutIndex() == 1;
  auto heads = std::make_unique<TTransDocHead>(
      timestamp, "dok.txt", older ? "dokument.dbf" : "dok_nagl.dbf");
  auto lines = std::make_unique<TTransDocPos>(
      *heads, timestamp, "poz.txt", older ? "poz_dok.dbf" : "dok_poz.dbf");
  {
    TReceiveCommit receive(*heads, *lines);
    receive.Recover(timestamp);
    if (heads->UploadTableExists() && lines->UploadTableExists()) {
      if (heads->ImportTextPending() || lines->ImportTextPending()) {
        throw EBridgeError(kPendingImports.str());
      }
      receive.Run(timestamp);
    }
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

  RemoveAbandonedTables();
  // Every old table goes before the first new one is written, so a job that
  // fails half-way never leaves an old table beside the new ones. A table
  // that stays would pass for today's: the job stops, after trying every
  // table so that no other old one stays either.
  std::string kept;
  for (TTransManager* transfer : std::initializer_list<TTransManager*>{
           information.get(), goods.get(), groups1.get(), groups0.get(),
           settlements.get(), contractors.get()}) {
    if (!transfer->DeleteDownloadTable() && kept.empty()) {
      kept = transfer->DownloadTablePath();
    }
  }
  if (kept.empty() && !platform::FlushDirectory(DownloadDir())) {
    kept = DownloadDir();
  }
  if (!kept.empty()) {
    throw EBridgeError(std::string(kCannotCreateFile.view()) + kept);
  }

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
