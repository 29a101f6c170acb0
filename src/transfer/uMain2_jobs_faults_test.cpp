// The jobs under faults: every failure ends the job with its one message and
// leaves nothing half-done, the next job finishes what a failed or crashed
// one left, and what a job publishes outlives a power cut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "testing/FaultPlan.h"
#include "transfer/TransferTestSupport.h"
#include "transfer/uMain2_jobs.h"

namespace bridge::testing {
namespace {

using platform::TFileOp;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using TFiles = std::map<std::string, std::string>;

enum class TJob { kSend, kReceive };

void RunJob(TJob job, TJobReport* report = nullptr) {
  job == TJob::kSend ? SendJob(report) : ReceiveJob(report);
}

// The file a temporary file was to become, or a taken upload was: its name
// without ".<process>.tmp" or ".odebrany".
std::string Subject(std::string name) {
  for (const std::string_view suffix : {".tmp", ".odebrany"}) {
    if (name.ends_with(suffix)) name.resize(name.size() - suffix.size());
  }
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos &&
      name.find_first_not_of("0123456789", dot + 1) == std::string::npos) {
    name.resize(dot);
  }
  return name;
}

// Each file a stopped job left, as a look at the device finds it, is named
// once in what the next job reports it finished or undid: a prepared file
// as removed or published, a taken upload as archived or restored.
void ExpectEachLeftFileReported(const std::vector<TPendingFile>& left,
                                const TJobReport& report) {
  std::vector<std::string> expected;
  for (const TPendingFile& file : left) {
    if (file.Kind == TPendingKind::kPrepared ||
        file.Kind == TPendingKind::kTaken) {
      expected.push_back(Subject(platform::ExtractFileName(file.Path)));
    }
  }
  std::vector<std::string> reported;
  for (const TJobReport::TRecovery& step : report.Recovered) {
    reported.push_back(Subject(step.Name));
  }
  EXPECT_THAT(reported, ::testing::UnorderedElementsAreArray(expected));
}

// What the host took: it imports dok.txt together with poz.txt as soon as it
// sees dok.txt, and deletes both.
struct THostImports {
  std::string Dok;
  std::string Poz;
  bool operator==(const THostImports&) const = default;
};

void HostImports(TDevice& device, THostImports& imports) {
  const std::string dok = device.ImportPath("dok.txt");
  const std::string poz = device.ImportPath("poz.txt");
  if (!platform::FileExists(dok)) return;
  EXPECT_TRUE(platform::FileExists(poz)) << "dok.txt without its poz.txt";
  imports.Dok += ReadBytes(dok);
  imports.Poz += ReadBytes(poz);
  std::filesystem::remove(dok);
  std::filesystem::remove(poz);
}

// The device's files before a job: the host's export and yesterday's
// tables, or two documents uploaded, one of them with a deleted line.
void Arrange(TDevice& device, TJob job, int layout, const TFiles& tables = {}) {
  device.Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
  device.Config().SetValue("BACKUP", "1");
  if (job == TJob::kSend) {
    device.WriteSampleExport();
    for (const auto& [name, bytes] : tables) {
      WriteBytes(device.DownloadPath(name), bytes);
    }
    return;
  }
  device.WriteUploads(layout,
                      {Head(layout), Head(layout, {{"numer", "13/2005"}})},
                      {Line(layout), Line(layout, {}, true),
                       Line(layout, {{"numer", "13/2005"}})});
}

// What a job that nothing disturbs gives: the host's imports after a
// receive, the tables after a send.
struct TReference {
  THostImports Imports;
  TFiles Tables;
};

TReference ReferenceOf(TJob job, int layout) {
  TDevice device;
  Arrange(device, job, layout);
  RunJob(job);
  TReference reference;
  reference.Tables = FilesIn(DownloadDir());
  HostImports(device, reference.Imports);
  return reference;
}

// The next job, with nothing disturbing it, finishes what the stopped one
// left: every document reaches the host once and the uploads go to the
// backup; the download directory holds the whole tables and nothing else.
void ExpectRecovered(TDevice& device, TJob job, const TReference& reference,
                     THostImports imports = {}) {
  HostImports(device, imports);
  const std::vector<TPendingFile> left = FindPendingWork();
  TJobReport report;
  ASSERT_NO_THROW(RunJob(job, &report));
  ExpectEachLeftFileReported(left, report);
  if (job == TJob::kSend) {
    EXPECT_EQ(FilesIn(DownloadDir()), reference.Tables);
    return;
  }
  HostImports(device, imports);
  EXPECT_EQ(imports, reference.Imports);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
}

// "Download/x", "Upload/x", "Import/x" or "Eksport/x" as the device's path.
std::string PathOf(std::string_view where) {
  const std::size_t slash = where.find('/');
  const std::string_view side = where.substr(0, slash);
  const std::string directory = side == "Download" ? DownloadDir()
                                : side == "Upload" ? UploadDir()
                                : side == "Import" ? ImportDir()
                                                   : ExportDir();
  return slash == std::string_view::npos
             ? directory
             : Join(directory, where.substr(slash + 1));
}

// A fault that the next job no longer meets: a step that fails once. Or one
// that stays in the way: a directory where a file goes, a cut-short upload.
enum class TInTheWay { kNothing, kDirectory, kCutShort };

struct TFaultCase {
  const char* Name;
  TJob Job;
  TFileOp Op;
  std::string Step;  // the step's path ends so, or the path in the way
  int Nth;
  TInTheWay Way;
  std::u8string_view Message;  // followed by the path of Subject
  const char* Subject;
  const char* Directory;  // and what the failed job leaves there
  std::vector<std::string> Left;
  std::u8string_view Tail = {};  // after the path, with the error number
};

// The temporary file this process writes for a file of that name.
std::string Temporary(std::string_view name) {
  return platform::TReplaceOnCommit::TemporaryPathOf(name);
}

std::string Cp1250Of(std::u8string_view text) {
  return platform::Utf8ToCp1250(std::string(text.begin(), text.end()));
}

using enum TFileOp;
using enum TInTheWay;
const std::vector<std::string> kFourTables = {"asort.dbf", "dok_kre.dbf",
                                              "klient.dbf", "prod.dbf"};
const std::vector<std::string> kUploads = {"dokument.dbf", "poz_dok.dbf"};
constexpr auto kCannotCreate = u8"Nie można utworzyć pliku: ";
constexpr auto kCannotRead = u8"Nie udało się odczytać pliku ";
constexpr auto kCannotWrite = u8"Nie udało się zapisać pliku ";
constexpr auto kCannotRemove = u8"Nie można usunąć pliku: ";

// clang-format off
const TFaultCase kFaultCases[] = {
  {"the disk fills while a table is written", TJob::kSend,
   kWrite, Temporary("/towar.dbf"), 2, kNothing,
   kCannotCreate, "Download/towar.dbf", "Download", kFourTables},
  {"an old table is locked", TJob::kSend,
   kRemove, "/towar.dbf", 1, kNothing,
   kCannotCreate, "Download/towar.dbf", "Download", {"towar.dbf"}},
  {"a directory has a table's name", TJob::kSend,
   kRemove, "Download/klient.dbf", 0, kDirectory,
   kCannotCreate, "Download/klient.dbf", "Download", {"klient.dbf"}},
  {"the export directory cannot be read", TJob::kSend,
   kProbe, "/Eksport/kontrahent.txt", 1, kNothing,
   kCannotRead, "Eksport/kontrahent.txt", "Download", {}},
  {"a host file fails to read", TJob::kSend,
   kRead, "/kartoteka.txt", 1, kNothing,
   kCannotRead, "Eksport/kartoteka.txt", "Download", kFourTables},
  {"the import directory is not writable", TJob::kReceive,
   kCreate, Temporary("/dok.txt"), 1, kNothing,
   kCannotWrite, "Import/dok.txt", "Upload", kUploads},
  {"poz.txt is a directory", TJob::kReceive,
   kCreate, "Import/poz.txt", 0, kDirectory,
   kCannotWrite, "Import/poz.txt", "Import", {"poz.txt"}},
  {"an upload is locked by the device's synchronisation", TJob::kReceive,
   kRename, "/poz_dok.dbf", 1, kNothing,
   kCannotRemove, "Upload/poz_dok.dbf", "Upload", kUploads},
  {"dok.txt cannot take its name", TJob::kReceive,
   kRename, Temporary("/dok.txt"), 1, kNothing,
   kCannotWrite, "Import/dok.txt", "Import", {Temporary("dok.txt"), "poz.txt"}},
  {"a received table cannot be deleted", TJob::kReceive,
   kRemove, "/dokument.dbf.odebrany", 1, kNothing,
   kCannotRemove, "Upload/dokument.dbf.odebrany", "Upload",
   {"backup", "dokument.dbf.odebrany", "poz_dok.dbf.odebrany"}},
  {"the backup copy fails", TJob::kReceive,
   kCopy, "/dokument.dbf.odebrany", 1, kNothing,
   u8"Nie udało się utworzyć kopii pliku ", "Upload/dokument.dbf.odebrany",
   "Import", {"dok.txt", "poz.txt"}, u8" Błąd nr :"},
  {"an upload was cut short", TJob::kReceive,
   kOpen, "Upload/dokument.dbf", 0, kCutShort,
   u8"Plik jest niekompletny: ", "Upload/dokument.dbf", "Upload", kUploads},
  {"an upload fails to read", TJob::kReceive,
   kRead, "/poz_dok.dbf", 1, kNothing,
   kCannotRead, "Upload/poz_dok.dbf", "Upload", kUploads},
};
// clang-format on

TEST(JobFaults, EachEndsWithItsMessageAndTheNextJobFinishes) {
  const TReference send = ReferenceOf(TJob::kSend, 1);
  const TReference receive = ReferenceOf(TJob::kReceive, 1);
  for (const TFaultCase& fault : kFaultCases) {
    SCOPED_TRACE(fault.Name);
    TDevice device;
    Arrange(device, fault.Job, 1, send.Tables);
    if (fault.Way == kDirectory) {
      std::filesystem::remove(PathOf(fault.Step));
      ASSERT_TRUE(platform::CreateDir(PathOf(fault.Step)));
    } else if (fault.Way == kCutShort) {
      std::filesystem::resize_file(
          PathOf(fault.Step),
          std::filesystem::file_size(PathOf(fault.Step)) - 9);
    }
    std::string message =
        Cp1250Of(fault.Message) + PathOf(fault.Subject) + Cp1250Of(fault.Tail);
    if (!fault.Tail.empty()) message += std::to_string(kFaultErrorCode);
    {
      TScopedFaults faults;
      if (fault.Way == kNothing)
        faults->Fail(fault.Op, fault.Step, fault.Nth, 1);
      EXPECT_THAT(
          [&] { RunJob(fault.Job); },
          ::testing::ThrowsMessage<EBridgeError>(::testing::StrEq(message)));
    }
    EXPECT_EQ(ListNames(PathOf(fault.Directory)), fault.Left);
    if (fault.Way == kNothing) {
      ExpectRecovered(device, fault.Job,
                      fault.Job == TJob::kSend ? send : receive);
    }
  }
}

// Stops a job at every step that changes the disk in turn, as a crash or a
// power cut right before that step would, and checks what the disk holds
// then and after the next job.
void CrashAtEveryStep(TJob job, int layout) {
  const TReference reference = ReferenceOf(job, layout);
  int steps = 0;
  for (int step = 1;; ++step) {
    SCOPED_TRACE("layout " + std::to_string(layout) + ", crash at step " +
                 std::to_string(step));
    TDevice device;
    Arrange(device, job, layout, reference.Tables);
    if (!CrashesAt(step, [job] { RunJob(job); })) break;
    ++steps;
    THostImports imports;
    if (job == TJob::kSend) {
      // A device may fetch its tables right now: each is whole, or absent.
      for (const auto& [name, bytes] : FilesIn(DownloadDir())) {
        if (!name.ends_with(".tmp")) {
          EXPECT_EQ(bytes, reference.Tables.at(name)) << name;
        }
      }
    } else {
      // The host may import right now.
      HostImports(device, imports);
    }
    ExpectRecovered(device, job, reference, imports);
  }
  EXPECT_GT(steps, 10);
}

TEST(JobCrash, EveryStepOfASendIsRecoveredByTheNextSend) {
  CrashAtEveryStep(TJob::kSend, 1);
  CrashAtEveryStep(TJob::kSend, 2);
}

TEST(JobCrash, EveryStepOfAReceiveIsRecoveredAndImportsEachDocumentOnce) {
  CrashAtEveryStep(TJob::kReceive, 1);
  CrashAtEveryStep(TJob::kReceive, 2);
}

#ifndef _WIN32
// Where the system takes an upload by giving it a second name and then
// removing the first, a crash in between leaves the line table under both
// names: the commit happened, so the next job finishes the take before it
// publishes and archives, and no upload stays behind to be read again.
// Windows renames in one step.
TEST(JobCrash, ATakeStoppedBetweenItsTwoNamesIsFinished) {
  const TReference reference = ReferenceOf(TJob::kReceive, 1);
  int step = 0;
  {
    TDevice device;
    Arrange(device, TJob::kReceive, 1);
    TScopedFaults faults;
    ReceiveJob();
    for (const TFileStep& done : faults->Trace()) {
      if (platform::ChangesDisk(done.Op)) ++step;
      if (done.Op == TFileOp::kRename && done.Path.ends_with("/poz_dok.dbf")) {
        break;
      }
    }
  }
  TDevice device;
  Arrange(device, TJob::kReceive, 1);
  ASSERT_TRUE(CrashesAt(step, [] { ReceiveJob(); }));
  const std::string upload = device.UploadPath("poz_dok.dbf");
  std::filesystem::create_hard_link(upload, upload + ".odebrany");
  ExpectRecovered(device, TJob::kReceive, reference);
}
#endif

// What a job renames into place has its bytes on the disk first, and every
// directory it changed is flushed before it changes another one, so a
// power cut after the job, or between two of its steps, undoes nothing the
// next step relies on.
TEST(JobPowerCut, WhatTheJobsPublishIsDurableInTheirOrder) {
  for (const int layout : {1, 2}) {
    SCOPED_TRACE(layout);
    TDevice device;
    Arrange(device, TJob::kSend, layout);
    TScopedFaults faults;
    SendJob();
    EXPECT_THAT(UndurableSteps(faults->Trace()), IsEmpty());
  }
  TDevice device;
  Arrange(device, TJob::kReceive, 1);
  TScopedFaults faults;
  ReceiveJob();
  EXPECT_THAT(UndurableSteps(faults->Trace()), IsEmpty());
  // The uploads are taken only once both import files are durable, and the
  // header table's mark is durable before the line table's: the line
  // table's mark is the commit.
  const std::string import = ImportDir();
  const std::string upload = UploadDir();
  EXPECT_TRUE(
      InOrder(faults->Trace(),
              {{TFileOp::kFlush, Temporary("/dok.txt")},
               {TFileOp::kFlush, Temporary("/poz.txt")},
               {TFileOp::kFlushDir, import},
               {TFileOp::kRename, "/dokument.dbf", "/dokument.dbf.odebrany"},
               {TFileOp::kFlushDir, upload},
               {TFileOp::kRename, "/poz_dok.dbf", "/poz_dok.dbf.odebrany"},
               {TFileOp::kFlushDir, upload},
               {TFileOp::kRename, Temporary("/poz.txt"), "/poz.txt"},
               {TFileOp::kFlushDir, import},
               {TFileOp::kRename, Temporary("/dok.txt"), "/dok.txt"},
               {TFileOp::kFlushDir, import},
               {TFileOp::kCopy, "/dokument.dbf.odebrany", "/dokument.dbf"},
               {TFileOp::kRemove, "/dokument.dbf.odebrany"},
               {TFileOp::kFlushDir, upload},
               {TFileOp::kCopy, "/poz_dok.dbf.odebrany", "/poz_dok.dbf"},
               {TFileOp::kRemove, "/poz_dok.dbf.odebrany"},
               {TFileOp::kFlushDir, upload}}));
}

}  // namespace
}  // namespace bridge::testing
