// What the operating system decides for the program, in one injectable place:
// the program arguments, the running executable, the local clock, the user's
// decimal separator, the message boxes, how long a job waits for another
// job of its device, and the file faults. Tests replace it with
// TScopedSystem to run with fixed dates, either separator, a program
// directory of their own and file operations that fail where they say.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/FileFaults.h"

namespace bridge::platform {

struct TSystem {
  // argv[1...] as Windows-1250 text.
  std::vector<std::string> Arguments;
  // The full path of the running executable.
  std::string ExecutablePath;
  std::function<TDateTime()> Now;
  char DecimalSeparator = '.';
  std::unique_ptr<TMessageBoxes> MessageBoxes;
  // How long a job waits for another job of the same device to finish.
  std::chrono::milliseconds LockWait{30000};
  // Asked before every file operation when set; only tests set it.
  std::unique_ptr<TFileFaults> Faults;
};

// The process's system: the real one until a test or main() replaces it.
TSystem& System();

// argv[1...] as Windows-1250 text: on POSIX as the shell split them; on
// Windows the process's command line split by the Windows rules.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);
// Builds the real system from the process's arguments and environment.
TSystem RealSystem(int argc, const char* const* argv);
// Installs a system for the process, as main() does after start-up.
void InstallSystem(TSystem system);

// The local date and time.
TDateTime LocalNow();
// The decimal separator of LC_NUMERIC (LC_ALL, LC_NUMERIC or LANG).
char LocaleDecimalSeparator();

// Replaces the process's system for one scope and puts the old one back.
class TScopedSystem {
 public:
  explicit TScopedSystem(TSystem system);
  ~TScopedSystem();
  TScopedSystem(const TScopedSystem&) = delete;
  TScopedSystem& operator=(const TScopedSystem&) = delete;
  TSystem& Get() { return System(); }

 private:
  TSystem FSaved;
};

}  // namespace bridge::platform
