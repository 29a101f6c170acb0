// How the receive job hands the device's documents to the host exactly once,
// whatever fails or crashes on the way, with one commit point:
//
//   1. Both tables are converted into temporary files beside "dok.txt" and
//      "poz.txt" in the import directory, which are made durable
//      (TTransManager::Receive).
//   2. Commit: both uploaded tables are renamed out of the device's reach,
//      header table first, to "<table>.odebrany". The line table's new name
//      is the commit point; a rename that fails undoes the first one and
//      removes the prepared files, and nothing has happened.
//   3. Publish: "poz.txt" takes its name before "dok.txt", which the host
//      imports as soon as it sees it.
//   4. Archive: each taken table is backed up under its own name (when
//      backups are on) and deleted, header table first.
//
// Every step that must outlive a power cut is flushed before the next one.
// A job that finds taken tables finishes the stopped one: with the line
// table taken it publishes what is still prepared and archives; with only
// the header table taken the commit never happened, so that table gets its
// name back. Prepared files without a commit are removed. No device takes
// "<table>.odebrany" for a table, and no host takes a temporary file
// ("<text>.<process>.tmp") for an import file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Files.h"
#include "transfer/JobReport.h"
#include "transfer/Utransmanager.h"

namespace bridge {

class TReceiveCommit {
 public:
  // heads and lines are the two transfers of the job; the report, when
  // given, gets what was received and what was recovered.
  TReceiveCommit(TTransManager& heads, TTransManager& lines,
                 TJobReport* report = nullptr);
  // Removes the prepared files of a run that did not reach its commit.
  ~TReceiveCommit();
  TReceiveCommit(const TReceiveCommit&) = delete;
  TReceiveCommit& operator=(const TReceiveCommit&) = delete;

  // Finishes or undoes what a stopped job of the device left behind.
  void Recover(TDateTime timestamp);
  // Receives both tables and hands the documents over: steps 1 to 4.
  void Run(TDateTime timestamp);

  // The name under which the commit takes the uploaded table at path.
  static std::string TakenPathOf(std::string_view path);

 private:
  // One uploaded table and the import file made from it.
  struct TPair {
    std::string Upload;
    std::string Taken;
    std::string Import;
    std::string Prepared;  // once there is one
  };

  // The temporary files of the two import files in the import directory.
  std::vector<platform::TTemporary> PreparedFiles() const;
  void Commit();
  void FinishTake(const TPair& pair);
  // Gives the header table its upload name back; false when it keeps its
  // taken one.
  [[nodiscard]] bool Untake();
  void Publish();
  void Archive(TDateTime timestamp);
  void Recovered(TJobReport::TRecoveryStep step, const std::string& path);

  TTransManager& FHeadTransfer;
  TTransManager& FLineTransfer;
  TJobReport* FReport;
  // Whether the steps taken finish a stopped job rather than this one.
  bool FRecovering = false;
  TPair FHeads;
  TPair FLines;
  std::string FUploadDir;
  std::string FImportDir;
  bool FPreparing = false;
};

}  // namespace bridge
