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
  const bool newLayout = NewLayoutInForce();
  auto heads = std::make_unique<TTransDocHead>(
      timestamp, "dok.txt", newLayout ? "dok_nagl.dbf" : "dokument.dbf");
  auto lines = std::make_unique<TTransDocPos>(
      *heads, timestamp, "poz.txt", newLayout ? "dok_poz.dbf" : "poz_dok.dbf");
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
  if (NewLayoutInForce()) {
    settlements = std::make_unique<TTransRozlicz_v180>(
        timestamp, "doknieroz.txt", "kredyt.dbf");
  } else {
    settlements = std::make_unique<TTransRozlicz_v170>(
        timestamp, "doknieroz.txt", "dok_kre.dbf");
  }
  auto information =
      std::make_unique<TTransInfo>(timestamp, "konfiguracja.txt", "info.dbf");
  auto assortmentGroups = std::make_unique<TTransGrupy>(
      timestamp, "grkart1.txt", "asort.dbf", TTransGrupy::kGroupList1);
  auto productGroups = std::make_unique<TTransGrupy>(
      timestamp, "grkart2.txt", "prod.dbf", TTransGrupy::kGroupList2);

  RemoveAbandonedTables();
  // Every old table goes before the first new one is written, so a job that
  // fails half-way never leaves an old table beside the new ones. A table
  // that stays would pass for today's: the job stops, after trying every
  // table so that no other old one stays either.
  std::string kept;
  for (TTransManager* transfer : std::initializer_list<TTransManager*>{
           information.get(), goods.get(), assortmentGroups.get(),
           productGroups.get(), settlements.get(), contractors.get()}) {
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
  productGroups->Send();
  assortmentGroups->Send();
  goods->Send();
  information->Send();

  settlements.reset();
  productGroups.reset();
  assortmentGroups.reset();
  information.reset();
  goods.reset();
  contractors.reset();
}

}  // namespace bridge
