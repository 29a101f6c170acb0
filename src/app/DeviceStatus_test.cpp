#include "app/DeviceStatus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "app/JobJournal.h"
#include "app/Uprogramparams_run.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/FaultPlan.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::HasSubstr;

std::string Cp(std::u8string_view text) {
  return platform::Utf8ToCp1250(std::string(text.begin(), text.end()));
}

// What the status says waits, after "Oczekuje:".
std::string Pending() {
  const std::string text = DeviceStatusText();
  const std::string heading = Cp(u8"Oczekuje:");
  const std::size_t at = text.find(heading);
  return at == std::string::npos ? text : text.substr(at + heading.size());
}

class DeviceStatusTest : public TTransferTest {};

TEST_F(DeviceStatusTest, NamesEachStateThatWaitsAndNothingElse) {
  struct TCase {
    const char* Name;
    std::function<void(TDevice&)> Make;
    // Each line after two blanks: its text, and the path made of where
    // ("Import/", "Upload/", "Download/" or "lock") and the name.
    std::vector<std::pair<std::u8string_view, std::string>> Lines;
  };
  const std::u8string_view uncollected =
      u8"plik czeka na pobranie przez system Zendor Pro: ";
  const std::u8string_view uploaded =
      u8"tabela przesłana z urządzenia czeka na odbiór: ";
  const std::u8string_view taken =
      u8"tabela przejęta przez przerwany odbiór czeka na kopię i usunięcie: ";
  const std::u8string_view prepared =
      u8"plik przygotowany przez przerwane zadanie: ";
  std::unique_ptr<platform::TFileLock> lock;
  const TCase cases[] = {
      {"nothing", [](TDevice&) {}, {}},
      {"an empty dok.txt, the next receive's to replace",
       [](TDevice& d) { WriteBytes(d.ImportPath("dok.txt"), ""); },
       {}},
      {"files the host has not collected",
       [](TDevice& d) {
         WriteBytes(d.ImportPath("poz.txt"), "1\r\n");
         WriteBytes(d.ImportPath("dok.txt"), "1\r\n");
       },
       {{uncollected, "Import/dok.txt"}, {uncollected, "Import/poz.txt"}}},
      {"uploads of the newer layout",
       [](TDevice& d) { d.WriteUploads(2, {Head(2)}, {Line(2)}); },
       {{uploaded, "Upload/dok_nagl.dbf"}, {uploaded, "Upload/dok_poz.dbf"}}},
      {"a lone upload, which no receive takes",
       [](TDevice& d) { WriteBytes(d.UploadPath("poz_dok.dbf"), "x"); },
       {{uploaded, "Upload/poz_dok.dbf"}}},
      {"tables a stopped receive took",
       [](TDevice& d) {
         WriteBytes(d.UploadPath("dokument.dbf.odebrany"), "x");
         WriteBytes(d.UploadPath("poz_dok.dbf.odebrany"), "x");
       },
       {{taken, "Upload/dokument.dbf.odebrany"},
        {taken, "Upload/poz_dok.dbf.odebrany"}}},
      {"files a stopped receive prepared",
       [](TDevice& d) { WriteBytes(d.ImportPath("poz.txt.tmp"), "1\r\n"); },
       {{prepared, "Import/poz.txt.tmp"}}},
      {"a table a stopped send was writing",
       [](TDevice& d) { WriteBytes(d.DownloadPath("towar.dbf.tmp"), "x"); },
       {{prepared, "Download/towar.dbf.tmp"}}},
      {"a job that runs",
       [&lock](TDevice&) { lock = LockDevice("7"); },
       {{u8"trwa zadanie wymiany danych z urządzeniem (blokada ", "lock"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDevice device;
    c.Make(device);
    std::string expected;
    for (const auto& [text, where] : c.Lines) {
      const std::size_t slash = where.find('/');
      const std::string name = where.substr(slash + 1);
      const std::string side = where.substr(0, slash);
      const std::string path =
          side == "lock"     ? Join(device.FProgram.Str(), "00000007.lock")
          : side == "Import" ? device.ImportPath(name)
          : side == "Upload" ? device.UploadPath(name)
                             : device.DownloadPath(name);
      expected += "  " + Cp(text) + path + (side == "lock" ? ")\n" : "\n");
    }
    EXPECT_EQ(Pending(), expected.empty() ? " nic\n" : "\n" + expected);
    lock.reset();
  }
}

TEST_F(DeviceStatusTest, APlaceThatCannotBeLookedAtIsSaid) {
  const std::string upload = UploadPath("dokument.dbf");
  TScopedFaults faults;
  faults->Fail(platform::TFileOp::kProbe, "/dokument.dbf");
  EXPECT_EQ(Pending(),
            "\n  " + Cp(u8"nie udało się sprawdzić: ") + upload + "\n");
}

TEST_F(DeviceStatusTest, TellsTheLastJobsFromTheJournalAndItsOlderPart) {
  const std::string journal =
      JournalPath(platform::System().ExecutablePath, "7");
  const auto line = [](const char* when, const char8_t* fields) {
    return std::string(when) + "\tdevice=7\tseconds=0.250\t" + Cp(fields) +
           "\n";
  };
  WriteBytes(journal + ".1",
             line("2026-12-01 08:00:00",
                  u8"mode=O\tstatus=0\tdok.txt=read 3 written 2 skipped 1"
                  "\tpoz.txt=read 5 written 5 skipped 0\tdocuments=2\t"
                  "lines=5"));
  WriteBytes(journal,
             line("2026-12-01 09:00:00",
                  u8"mode=I\tstatus=0\tklient.dbf=read 11 written 10 skipped 1 "
                  "cut 0 replaced 0\tprod.dbf=no grkart2.txt\t"
                  "towar.dbf=read 30 written 25 skipped 5 cut 1 replaced 2") +
                 line("2026-12-01 10:00:00",
                      u8"mode=O\tstatus=1\tmessage=Nie można usunąć pliku: x") +
                 line("2026-12-01 11:00:00", u8"mode=W\tstatus=1") +
                 "torn line without fields\n");
  const std::string text = DeviceStatusText();
  EXPECT_THAT(text, HasSubstr(Cp(u8"Ostatnia wysyłka: 2026-12-01 11:00:00, "
                                 u8"zakończona błędem\n")));
  EXPECT_THAT(text, HasSubstr(Cp(u8"Ostatni odbiór: 2026-12-01 10:00:00, "
                                 u8"zakończony błędem: Nie można usunąć "
                                 u8"pliku: x\n")));
  EXPECT_THAT(text, HasSubstr(Cp(u8"Ostatnie przekazanie dokumentów do "
                                 u8"systemu Zendor Pro: 2026-12-01 08:00:00 "
                                 u8"(dokumenty: 2, pozycje: 5)\n")));
  EXPECT_THAT(text, HasSubstr(Cp(u8"Ostatni błąd: 2026-12-01 11:00:00, "
                                 u8"wysyłka\n")));
  // Without the failed send, the one before it is the last.
  WriteBytes(journal, ReadBytes(journal).substr(
                          0, ReadBytes(journal).find("2026-12-01 11")));
  EXPECT_THAT(DeviceStatusText(),
              HasSubstr(Cp(u8"Ostatnia wysyłka: 2026-12-01 09:00:00, "
                           u8"zakończona pomyślnie (tabele: 2, rekordy: 35, "
                           u8"0.250 s)\n")));
}

}  // namespace
}  // namespace bridge::testing
