// What the tests of every layer share: temporary directories, byte
// comparisons, runs of the built program and a system of their own (fixed
// clock, chosen decimal separator, recorded message boxes).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/System.h"

namespace bridge::testing {

// A fresh directory, removed with everything in it by the destructor.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  // The path of a name inside, as program text; "/" in name separates as
  // the system does.
  std::string operator/(std::string_view name) const;
  std::string Str() const { return FPath.string(); }

 private:
  std::filesystem::path FPath;
};

// directory, the system's delimiter and relative, whose "/" become the
// system's delimiter too: the path the program itself would make.
std::string Join(std::string_view directory, std::string_view relative);

// The default of KATALOG on this system.
#ifdef _WIN32
inline constexpr std::string_view kDefaultCatalog = "C:\\FORBOOK";
#else
inline constexpr std::string_view kDefaultCatalog = "/srv/forbook";
#endif

// A UTF-8 literal as a byte string, as the operating system hands text over.
std::string U8(std::u8string_view text);
// What the program writes to a redirected standard stream for a text: UTF-8
// on POSIX; on Windows Windows-1250 with CR LF line ends.
std::string ConsoleText(std::u8string_view text);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
// Bytes from hex pairs; blanks between them are ignored.
std::string Hex(std::string_view pairs);
// Success when equal; otherwise names the first differing offset and dumps
// the bytes around it.
::testing::AssertionResult SameBytes(std::string_view actual,
                                     std::string_view expected);
// Names of the entries of a directory, sorted.
std::vector<std::string> ListNames(const std::string& path);
// The files of a directory by name, with their bytes.
std::map<std::string, std::string> FilesIn(const std::string& path);

// Runs an executable with arguments, no display and no standard input, and
// gives its exit status and what it wrote to standard error.
struct TRunResult {
  int Status = -1;
  std::string Stdout;
  std::string Stderr;
};
TRunResult RunExecutable(const std::string& exe,
                         const std::vector<std::string>& arguments);
// Starts an executable once per argument list, all at the same time, and
// gives their results in the same order.
std::vector<TRunResult> RunConcurrently(
    const std::string& exe, const std::vector<std::vector<std::string>>& runs);
// Copies the built program into a directory, as an installation.
std::string InstallProgram(const std::string& builtExe,
                           const std::string& directory);

#ifdef _WIN32
// Files that another program holds open without sharing, as a virus
// scanner, a backup agent or the devices' synchronisation does: the helper
// program forbook-hold-files keeps each for its own time, counted from the
// moment it holds them all. The constructor returns once they are all held
// (or the helper failed: see Held); the destructor waits until all are let
// go.
class THeldFiles {
 public:
  struct THold {
    std::string Path;
    int Milliseconds = 0;
  };
  explicit THeldFiles(const std::vector<THold>& holds);
  ~THeldFiles();
  THeldFiles(const THeldFiles&) = delete;
  THeldFiles& operator=(const THeldFiles&) = delete;
  bool Held() const { return FHeld; }

 private:
  void* FProcess = nullptr;
  bool FHeld = false;
};

// The share \\serwer\udzial, which the tests' Wine prefix maps to the root
// of drive C:, and a path on C: as a path on that share; "" for a path
// elsewhere or when the share cannot be reached.
inline constexpr std::string_view kTestShare = "\\\\serwer\\udzial";
std::string OnTheTestShare(const std::string& path);
#endif

// Message boxes that record what they were shown and answer from a script.
class TRecordingMessageBoxes final : public platform::TMessageBoxes {
 public:
  void ShowError(std::string_view text) override;
  bool AskYesNo(std::string_view text) override;
  void ShowInformation(std::string_view text) override;

  std::vector<std::string> Errors;
  std::vector<std::string> Questions;
  std::vector<std::string> Informations;
  std::vector<bool> Answers;  // answers in order; No when they run out
};

// Installs a system for one test: the executable at exeDir/forbook-bridge,
// the given arguments, a fixed clock and a decimal separator.
class TTestSystem {
 public:
  explicit TTestSystem(const std::string& exeDir,
                       std::vector<std::string> arguments = {},
                       char decimalSeparator = '.',
                       TDateTime now = EncodeDateTime({2005, 3, 7, 14, 5, 9,
                                                       0}));
  TRecordingMessageBoxes& Boxes() { return *FBoxes; }
  platform::TSystem& System() { return FScope.Get(); }

 private:
  TRecordingMessageBoxes* FBoxes;
  platform::TScopedSystem FScope;
};

}  // namespace bridge::testing
