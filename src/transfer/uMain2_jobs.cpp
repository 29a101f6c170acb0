#include "transfer/uMain2_jobs.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>

#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "core/Uprogramparams.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
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
// The document tables a device uploads, per layout: headers, then lines.
struct TDocumentTables {
  const char* Heads;
  const char* Lines;
};
constexpr TDocumentTables kOlderLayoutTables = {"dokument.dbf", "poz_dok.dbf"};
constexpr TDocumentTables kNewerLayoutTables = {"dok_nagl.dbf", "dok_poz.dbf"};
// What a receive writes for the host.
constexpr const char* kHeadText = "dok.txt";
constexpr const char* kLineText = "poz.txt";

bool IsSendTable(std::string_view name) {
  return std::find(std::begin(kSendTables), std::end(kSendTables), name) !=
         std::end(kSendTables);
}

// The temporary files of the send job's tables in the download directory;
// the device's own stay out of it. Raises when the directory cannot be
// read, since a table left half-written must not be missed.
std::vector<platform::TTemporary> TableTemporaries(
    const std::string& directory) {
  const auto temporaries = platform::ListTemporaries(directory);
  if (!temporaries) {
    throw EBridgeError(std::string(kReadFailed.view()) + directory);
  }
  std::vector<platform::TTemporary> tables;
  for (const platform::TTemporary& temporary : *temporaries) {
    if (IsSendTable(temporary.Target)) tables.push_back(temporary);
  }
  return tables;
}

// A table a stopped send job was writing stays under its temporary name.
void RemoveAbandonedTables(TJobReport* report) {
  for (const platform::TTemporary& table : TableTemporaries(DownloadDir())) {
    if (!platform::RemoveFile(table.Path)) {
      throw EBridgeError(std::string(kCannotRemove.view()) + table.Path);
    }
    if (report != nullptr) {
      report->Recovered.push_back({TJobReport::TRecoveryStep::kRemoved,
                                   platform::ExtractFileName(table.Path)});
    }
  }
}

void Send(TTransManager& transfer, TJobReport* report) {
  transfer.Send();
  if (report != nullptr) {
    report->Runs.push_back(
        {transfer.TableName(), transfer.TextName(), transfer.Counts()});
  }
}

}  // namespace

void ReceiveJob(TJobReport* report) {
  CheckLayout();
  const TDateTime timestamp = platform::System().Now();
  const TDocumentTables& tables =
      NewLayoutInForce() ? kNewerLayoutTables : kOlderLayoutTables;
  auto heads =
      std::make_unique<TTransDocHead>(timestamp, kHeadText, tables.Heads);
  auto lines = std::make_unique<TTransDocPos>(*heads, timestamp, kLineText,
                                              tables.Lines);
  {
    TReceiveCommit receive(*heads, *lines, report);
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

void SendJob(TJobReport* report) {
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

  RemoveAbandonedTables(report);
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

  for (TTransManager* transfer : std::initializer_list<TTransManager*>{
           contractors.get(), settlements.get(), productGroups.get(),
           assortmentGroups.get(), goods.get(), information.get()}) {
    Send(*transfer, report);
  }

  settlements.reset();
  productGroups.reset();
  assortmentGroups.reset();
  information.reset();
  goods.reset();
  contractors.reset();
}

std::vector<TPendingFile> FindPendingWork() {
  std::vector<TPendingFile> found;
  // The temporary files in a directory whose targets pass the test.
  const auto prepared = [&found](const std::string& directory,
                                 const auto& isTarget) {
    const auto kind = platform::ProbePath(directory);
    if (kind == platform::TPathKind::kNone) return;
    const auto temporaries = platform::ListTemporaries(directory);
    if (!temporaries) {
      found.push_back({TPendingKind::kUnknown, directory});
      return;
    }
    for (const platform::TTemporary& temporary : *temporaries) {
      if (isTarget(temporary.Target)) {
        found.push_back({TPendingKind::kPrepared, temporary.Path});
      }
    }
  };
  const auto look = [&found](TPendingKind kind, const std::string& path) {
    const auto what = platform::ProbePath(path);
    if (!what) {
      found.push_back({TPendingKind::kUnknown, path});
    } else if (*what == platform::TPathKind::kFile) {
      // An empty import file is the next receive's to replace.
      const auto size = platform::FileSize(path);
      if (kind != TPendingKind::kUncollected || !size || *size > 0) {
        found.push_back({kind, path});
      }
    }
  };
  const auto in = [](const std::string& directory, const char* name) {
    return directory + platform::kPathDelimiter + name;
  };
  const std::string import = ImportDirPath();
  for (const char* text : {kHeadText, kLineText}) {
    look(TPendingKind::kUncollected, in(import, text));
  }
  prepared(import, [](std::string_view target) {
    return target == kHeadText || target == kLineText;
  });
  // Without a data directory the device has no side to look at.
  if (Trim(ConfigFile().GetValue("KATALOG")).empty()) return found;
  const std::string upload = UploadDirPath();
  for (const TDocumentTables& layout :
       {kOlderLayoutTables, kNewerLayoutTables}) {
    for (const char* table : {layout.Heads, layout.Lines}) {
      look(TPendingKind::kUploaded, in(upload, table));
      look(TPendingKind::kTaken,
           TReceiveCommit::TakenPathOf(in(upload, table)));
    }
  }
  prepared(DownloadDirPath(), IsSendTable);
  return found;
}

}  // namespace bridge
