#include "app/Uprogramparams_run.h"

#include <exception>
#include <string>
#include <vector>

#include "app/Uglobal.h"
#include "app/Umessages.h"
#include "app/Uprogramparams.h"
#include "config/uKonfig.h"
#include "config/uMain2.h"
#include "platform/Cp1250.h"
#include "platform/Dialogs.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "transfer/uMain2_jobs.h"

namespace bridge {
namespace {

// Runs a step of the program; an error that ends it is shown (an empty
// message silently) and gives status 1. A failure outside the program's own
// errors (out of memory, say) ends the run the same way, never as a crash.
template <typename TStep>
int Guarded(TStep step) {
  std::string message;
  try {
    step();
    return 0;
  } catch (const EBridgeError& error) {
    message = error.what();
  } catch (const std::exception& error) {
    message = platform::Utf8ToCp1250(error.what());
  }
  if (!message.empty()) ShowError(message);
  return 1;
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

bool IsJobMode(std::string_view mode) {
  return mode == "O" || mode == "W" || mode == "I";
}

}  // namespace

std::unique_ptr<platform::TFileLock> LockDevice(std::string_view deviceName) {
  const std::string name = NormalDeviceName(deviceName);
  // A name that is no directory name is refused by the configuration.
  if (!IsValidDeviceName(name)) return nullptr;
  // Devices whose names pad alike share their exchange directories, so the
  // lock is named by the padded name.
  const std::string path =
      ExcludeTrailingBackslash(
          platform::ExtractFileDir(platform::System().ExecutablePath)) +
      platform::kPathDelimiter + PadDeviceName(name) + ".lock";
  platform::TFileLock::TResult result{};
  auto lock =
      platform::TFileLock::Acquire(path, platform::System().LockWait, result);
  if (result == platform::TFileLock::TResult::kBusy) {
    throw EBridgeError(std::string(kDeviceBusy.view()) + name);
  }
  if (!lock) throw EBridgeError(std::string(kCannotCreateFile.view()) + path);
  return lock;
}

void RunSelectedMode() {
  const std::string mode = GetExchangeMode();
  if (mode == "O") {
    ReceiveJob();
  } else if (mode == "W" || mode == "I") {
    SendJob();
  } else {
    ShowEditor();
  }
}

int RunProgram() {
  return Guarded([] { RunSelectedMode(); });
}

int StartProgram() {
  if (AnswersAQuestion(platform::System().Arguments)) return 0;
  // One job of a device at a time: its configuration is read, created or
  // written back, and its exchange directories used, under the device's
  // lock. The editor holds it only while it reads its start-up device.
  std::unique_ptr<platform::TFileLock> lock;
  const bool job = IsJobMode(GetExchangeMode());
  const int status = Guarded([&lock, job] {
    lock = LockDevice(GetDeviceArg());
    CreateConfigFile();
    if (job) ConfigFile().RemoveAbandonedTemporaries();
  });
  if (status != 0) return status;
  if (!job) lock.reset();
  return RunProgram();
}

}  // namespace bridge
