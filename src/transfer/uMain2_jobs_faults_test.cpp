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

void RunJob(TJob job) { job == TJob::kSend ? SendJob() : ReceiveJob(); }

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

// Two documents of layout 1 or 2, one of them with a deleted line.
void WriteDocuments(TDevice& device, int layout) {
  device.Config().SetValue("BACKUP", "1");
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
  TReference reference;
  if (job == TJob::kSend) {
    device.Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
    device.WriteSampleExport();
    SendJob();
    reference.Tables = TDevice::Contents(DownloadDir());
  } else {
    WriteDocuments(device, layout);
    ReceiveJob();
    HostImports(device, reference.Imports);
  }
  return reference;
}

// The next job, with nothing disturbing it, finishes what the stopped one
// left: every document reaches the host once and the uploads go to the
// backup; the download directory holds the whole tables and nothing else.
void ExpectRecovered(TDevice& device, TJob job, const TReference& reference,
                     THostImports imports = {}) {
  HostImports(device, imports);
  ASSERT_NO_THROW(RunJob(job));
  if (job == TJob::kSend) {
    EXPECT_EQ(TDevice::Contents(DownloadDir()), reference.Tables);
    return;
  }
  HostImports(device, imports);
  EXPECT_EQ(imports, reference.Imports);
  EXPECT_THAT(ListNames(UploadDir()), ElementsAre("backup"));
  EXPECT_THAT(ListNames(ImportDir()), IsEmpty());
}

std::string Text(std::u8string_view polish, const std::string& path) {
  return platform::Utf8ToCp1250(std::string(polish.begin(), polish.end())) +
         path;
}

struct TFaultCase {
  const char* Name;
  TJob Job;
  // Puts the fault in place: a rule of the plan, or a file in the way that
  // stays for the next job too (then Lasting).
  std::function<void(TDevice&, TFaultPlan&)> Arrange;
  std::function<std::string(TDevice&)> Message;
  // The directory that shows what the failed job left, and what it holds.
  std::function<std::string()> Directory;
  std::vector<std::string> Left;
  bool Lasting = false;
};

std::string Download() { return DownloadDir(); }
std::string Upload() { return UploadDir(); }
std::string Import() { return ImportDir(); }

const TFaultCase kFaultCases[] = {
    {"the disk fills while a table is written",
     TJob::kSend,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kWrite, "/towar.dbf.tmp", 2);
     },
     [](TDevice& d) {
       return Text(u8"Nie można utworzyć pliku: ", d.DownloadPath("towar.dbf"));
     },
     Download,
     {"asort.dbf", "dok_kre.dbf", "klient.dbf", "prod.dbf"}},
    {"an old table is locked",
     TJob::kSend,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRemove, "/towar.dbf", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie można utworzyć pliku: ", d.DownloadPath("towar.dbf"));
     },
     Download,
     {"towar.dbf"}},
    {"a directory has a table's name",
     TJob::kSend,
     [](TDevice& d, TFaultPlan&) {
       std::filesystem::remove(d.DownloadPath("klient.dbf"));
       ASSERT_TRUE(platform::CreateDir(d.DownloadPath("klient.dbf")));
     },
     [](TDevice& d) {
       return Text(u8"Nie można utworzyć pliku: ",
                   d.DownloadPath("klient.dbf"));
     },
     Download,
     {"klient.dbf"},
     /*Lasting=*/true},
    {"the export directory cannot be read",
     TJob::kSend,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kProbe, "/Eksport/kontrahent.txt", 1, 1);
     },
     [](TDevice&) {
       return Text(u8"Nie udało się odczytać pliku ",
                   ExportDir() + "/kontrahent.txt");
     },
     Download,
     {}},
    {"a host file fails to read",
     TJob::kSend,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRead, "/kartoteka.txt", 1, 1);
     },
     [](TDevice&) {
       return Text(u8"Nie udało się odczytać pliku ",
                   ExportDir() + "/kartoteka.txt");
     },
     Download,
     {"asort.dbf", "dok_kre.dbf", "klient.dbf", "prod.dbf"}},
    {"the import directory is not writable",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kCreate, "/dok.txt.tmp", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie udało się zapisać pliku ", d.ImportPath("dok.txt"));
     },
     Upload,
     {"dokument.dbf", "poz_dok.dbf"}},
    {"poz.txt is a directory",
     TJob::kReceive,
     [](TDevice& d, TFaultPlan&) {
       ASSERT_TRUE(platform::CreateDir(d.ImportPath("poz.txt")));
     },
     [](TDevice& d) {
       return Text(u8"Nie udało się zapisać pliku ", d.ImportPath("poz.txt"));
     },
     Import,
     {"poz.txt"},
     /*Lasting=*/true},
    {"an upload is locked by the device's synchronisation",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRename, "/poz_dok.dbf", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie można usunąć pliku: ", d.UploadPath("poz_dok.dbf"));
     },
     Upload,
     {"dokument.dbf", "poz_dok.dbf"}},
    {"dok.txt cannot take its name",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRename, "/dok.txt.tmp", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie udało się zapisać pliku ", d.ImportPath("dok.txt"));
     },
     Import,
     {"dok.txt.tmp", "poz.txt"}},
    {"a received table cannot be deleted",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRemove, "/dokument.dbf.odebrany", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie można usunąć pliku: ",
                   d.UploadPath("dokument.dbf.odebrany"));
     },
     Upload,
     {"backup", "dokument.dbf.odebrany", "poz_dok.dbf.odebrany"}},
    {"the backup copy fails",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kCopy, "/dokument.dbf.odebrany", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie udało się utworzyć kopii pliku ",
                   d.UploadPath("dokument.dbf.odebrany")) +
              Text(u8" Błąd nr :", "5");
     },
     Import,
     {"dok.txt", "poz.txt"}},
    {"an upload was cut short",
     TJob::kReceive,
     [](TDevice& d, TFaultPlan&) {
       const std::string path = d.UploadPath("dokument.dbf");
       std::filesystem::resize_file(path, std::filesystem::file_size(path) - 9);
     },
     [](TDevice& d) {
       return Text(u8"Plik jest niekompletny: ", d.UploadPath("dokument.dbf"));
     },
     Upload,
     {"dokument.dbf", "poz_dok.dbf"},
     /*Lasting=*/true},
    {"an upload fails to read",
     TJob::kReceive,
     [](TDevice&, TFaultPlan& plan) {
       plan.Fail(TFileOp::kRead, "/poz_dok.dbf", 1, 1);
     },
     [](TDevice& d) {
       return Text(u8"Nie udało się odczytać pliku ",
                   d.UploadPath("poz_dok.dbf"));
     },
     Upload,
     {"dokument.dbf", "poz_dok.dbf"}},
};

TEST(JobFaults, EachEndsWithItsMessageAndTheNextJobFinishes) {
  const TReference send = ReferenceOf(TJob::kSend, 1);
  const TReference receive = ReferenceOf(TJob::kReceive, 1);
  for (const TFaultCase& fault : kFaultCases) {
    SCOPED_TRACE(fault.Name);
    TDevice device;
    if (fault.Job == TJob::kSend) {
      device.WriteSampleExport();
      for (const auto& [name, bytes] : send.Tables) {
        WriteBytes(device.DownloadPath(name), "yesterday's " + name);
      }
    } else {
      WriteDocuments(device, 1);
    }
    {
      TScopedFaults faults;
      fault.Arrange(device, *faults);
      EXPECT_THAT([&] { RunJob(fault.Job); },
                  ::testing::ThrowsMessage<EBridgeError>(
                      ::testing::StrEq(fault.Message(device))));
    }
    EXPECT_EQ(ListNames(fault.Directory()), fault.Left);
    if (!fault.Lasting) {
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
    if (job == TJob::kSend) {
      device.Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
      device.WriteSampleExport();
      for (const auto& [name, bytes] : reference.Tables) {
        WriteBytes(device.DownloadPath(name), bytes);
      }
    } else {
      WriteDocuments(device, layout);
    }
    if (!CrashesAt(step, [job] { RunJob(job); })) break;
    ++steps;
    THostImports imports;
    if (job == TJob::kSend) {
      // A device may fetch its tables right now: each is whole, or absent.
      for (const auto& [name, bytes] : TDevice::Contents(DownloadDir())) {
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

// What a job renames into place has its bytes on the disk first, and every
// directory it changed is flushed before it changes another one, so a
// power cut after the job, or between two of its steps, undoes nothing the
// next step relies on.
TEST(JobPowerCut, WhatTheJobsPublishIsDurableInTheirOrder) {
  for (const int layout : {1, 2}) {
    SCOPED_TRACE(layout);
    TDevice device;
    device.Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
    device.WriteSampleExport();
    TScopedFaults faults;
    SendJob();
    EXPECT_THAT(UndurableSteps(faults->Trace()), IsEmpty());
  }
  TDevice device;
  WriteDocuments(device, 1);
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
              {{TFileOp::kFlush, "/dok.txt.tmp"},
               {TFileOp::kFlush, "/poz.txt.tmp"},
               {TFileOp::kFlushDir, import},
               {TFileOp::kRename, "/dokument.dbf", "/dokument.dbf.odebrany"},
               {TFileOp::kFlushDir, upload},
               {TFileOp::kRename, "/poz_dok.dbf", "/poz_dok.dbf.odebrany"},
               {TFileOp::kFlushDir, upload},
               {TFileOp::kRename, "/poz.txt.tmp", "/poz.txt"},
               {TFileOp::kFlushDir, import},
               {TFileOp::kRename, "/dok.txt.tmp", "/dok.txt"},
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
