#include "app/Uprogramparams_run.h"

#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include "app/DeviceStatus.h"
#include "app/JobJournal.h"
#include "config/uMain2.h"
#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "core/Uprogramparams.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/Dialogs.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "transfer/uMain2_jobs.h"

namespace bridge {
namespace {

struct TOutcome {
  int Status = 0;
  std::string Message;
};

// Runs a step of the program. An error that ends it gives status 1 and its
// message; a failure outside the program's own errors (out of memory, say)
// ends the run the same way, never as a crash.
template <typename TStep>
TOutcome Attempt(TStep step) {
  try {
    step();
    return {};
  } catch (const EBridgeError& error) {
    return {1, error.what()};
  } catch (const std::exception& error) {
    return {1, platform::Utf8ToCp1250(error.what())};
  }
}

// Shows the error that ended a run, an empty message silently.
int Shown(const TOutcome& outcome) {
  if (!outcome.Message.empty()) ShowError(outcome.Message);
  return outcome.Status;
}

template <typename TStep>
int Guarded(TStep step) {
  return Shown(Attempt(step));
}

constexpr auto kUsage = Cp1250(
    u8"forbook-bridge: wymiana danych między systemem Zendor Pro a "
    u8"terminalami Forbook\n"
    u8"\n"
    u8"Użycie:\n"
    u8"  forbook-bridge RW:W KU:<urządzenie>  wysyłka: pliki z katalogu "
    u8"Eksport stają się\n"
    u8"                                       tabelami urządzenia w "
    u8"KATALOG/Download\n"
    u8"  forbook-bridge RW:I KU:<urządzenie>  wysyłka jak RW:W; urządzenie "
    u8"przejmuje numery dokumentów\n"
    u8"  forbook-bridge RW:O KU:<urządzenie>  odbiór: dokumenty z "
    u8"KATALOG/Upload trafiają\n"
    u8"                                       do dok.txt i poz.txt w "
    u8"katalogu Import\n"
    u8"  forbook-bridge [RW:E KU:<urządzenie>]  edytor parametrów "
    u8"urządzenia (wymaga ekranu)\n"
    u8"  forbook-bridge --status KU:<urządzenie>  stan urządzenia: ostatnie "
    u8"zadania i to,\n"
    u8"                                       co czeka na odbiór (także "
    u8"--stan)\n"
    u8"  forbook-bridge --help | -h | /?      ten opis\n"
    u8"  forbook-bridge --version             wersja programu\n"
    u8"\n"
    u8"Liczy się pierwsza litera po RW:, wielkość liter nie ma znaczenia.\n"
    u8"Parametry urządzenia: <katalog programu>/<urządzenie>/"
    u8"forbook-bridge.cfg\n"
    u8"Kod wyjścia: 0, gdy zadanie wykonano w całości; 1 po błędzie, którego "
    u8"opis\n"
    u8"trafia na standardowe wyjście błędów albo do okienka komunikatu.\n");

// The arguments that only ask about the program: they are answered on
// standard output, and nothing else runs.
bool AnswersAQuestion(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  const std::string& first = arguments.front();
  if (first == "--help" || first == "-h" || first == "/?") {
    platform::PrintText(kUsage.view());
    return true;
  }
  if (first == "--version") {
    platform::PrintText("forbook-bridge " BRIDGE_VERSION "\n");
    return true;
  }
  return false;
}

bool AsksForStatus(const std::vector<std::string>& arguments) {
  return !arguments.empty() &&
         (arguments.front() == "--status" || arguments.front() == "--stan");
}

// Looks at the device without its lock: a job that runs meanwhile is part
// of what the status shows.
void ShowDeviceStatus() {
  SetConfigFile(std::make_unique<TConfigFile>(platform::System().ExecutablePath,
                                              GetDeviceArg(),
                                              TConfigFile::TAccess::kInspect));
  platform::PrintText(DeviceStatusText());
}

bool IsJobMode(std::string_view mode) {
  return mode == "O" || mode == "W" || mode == "I";
}

// Leaves the job's line in its device's journal, measured from its start.
class TJobRecorder {
 public:
  explicit TJobRecorder(std::string mode)
      : FStarted(std::chrono::steady_clock::now()) {
    FRecord.Started = platform::System().Now();
    FRecord.Mode = std::move(mode);
    FRecord.Device = NormalDeviceName(GetDeviceArg());
  }
  TJobReport& Report() { return FRecord.Report; }
  // Never raises: the job's outcome is known already, and the journal
  // only tells it.
  void Record(const TOutcome& outcome, TJournalRotation rotation) noexcept {
    // A name no directory may have has no journal either.
    if (!IsValidDeviceName(FRecord.Device)) return;
    FRecord.Seconds = std::chrono::duration<double>(
                          std::chrono::steady_clock::now() - FStarted)
                          .count();
    FRecord.Status = outcome.Status;
    try {
      FRecord.Message = outcome.Message;
      AppendToJournal(
          JournalPath(platform::System().ExecutablePath, FRecord.Device),
          JournalLine(FRecord), rotation);
    } catch (const std::exception&) {
      // Out of memory for a line of text: the job goes without one.
    }
  }

 private:
  std::chrono::steady_clock::time_point FStarted;
  TJournalRecord FRecord;
};

// One job: its device locked for the whole of it, its line in the journal
// before its error, if any, is shown (a box may stay open a long time).
int RunJob() {
  TJobRecorder recorder(GetExchangeMode());
  std::unique_ptr<platform::TFileLock> lock;
  TOutcome outcome = Attempt([&lock] {
    lock = LockDevice(GetDeviceArg());
    CreateConfigFile();
    ConfigFile().RemoveAbandonedTemporaries();
  });
  if (outcome.Status == 0) {
    outcome = Attempt([&recorder] { RunSelectedMode(&recorder.Report()); });
  }
  recorder.Record(outcome,
                  lock ? TJournalRotation::kAllowed : TJournalRotation::kNever);
  return Shown(outcome);
}

}  // namespace

std::string DeviceLockPath(std::string_view deviceName) {
  // Devices whose names pad alike share their exchange directories, so the
  // lock is named by the padded name.
  return ExcludeTrailingBackslash(
             platform::ExtractFileDir(platform::System().ExecutablePath)) +
         platform::kPathDelimiter + PadDeviceName(deviceName) + ".lock";
}

std::unique_ptr<platform::TFileLock> LockDevice(std::string_view deviceName) {
  const std::string name = NormalDeviceName(deviceName);
  // A name that is no directory name is refused by the configuration.
  if (!IsValidDeviceName(name)) return nullptr;
  const std::string path = DeviceLockPath(name);
  platform::TFileLock::TResult result{};
  auto lock =
      platform::TFileLock::Acquire(path, platform::System().LockWait, result);
  if (result == platform::TFileLock::TResult::kBusy) {
    throw EBridgeError(std::string(kDeviceBusy.view()) + name);
  }
  if (!lock) throw EBridgeError(std::string(kCannotCreateFile.view()) + path);
  return lock;
}

void RunSelectedMode(TJobReport* report) {
  const std::string mode = GetExchangeMode();
  if (mode == "O") {
    ReceiveJob(report);
  } else if (mode == "W" || mode == "I") {
    SendJob(report);
  } else {
    ShowEditor();
  }
}

int RunProgram() {
  return Guarded([] { RunSelectedMode(); });
}

int StartProgram() {
  const std::vector<std::string>& arguments = platform::System().Arguments;
  if (AnswersAQuestion(arguments)) return 0;
  if (AsksForStatus(arguments)) return Guarded([] { ShowDeviceStatus(); });
  // One job of a device at a time: its configuration is read, created or
  // written back, and its exchange directories used, under the device's
  // lock. The editor holds it only while it reads its start-up device.
  if (IsJobMode(GetExchangeMode())) return RunJob();
  const int status = Guarded([] {
    const auto lock = LockDevice(GetDeviceArg());
    CreateConfigFile();
  });
  if (status != 0) return status;
  return RunProgram();
}

}  // namespace bridge
