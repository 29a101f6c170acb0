#include "testing/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Cp1250.h"
#include "platform/Files.h"

namespace bridge::testing {
namespace fs = std::filesystem;
namespace {

struct TEntry {
  std::string Name;
  bool IsDirectory = false;
};

#ifdef _WIN32

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(
      CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        wide.data(), size);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                         static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        narrow.data(), size, nullptr, nullptr);
  return narrow;
}

// MinGW's std::filesystem cannot list a directory whose path is longer than
// MAX_PATH (it lists the current directory instead), nor remove one: on
// Windows the tests look into directories with the wide API, in the
// extended form, which has no such limit.
std::wstring ExtendedForm(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (wide.starts_with(L"\\\\?\\")) return wide;
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  if (wide.size() >= 3 && wide[1] == L':') return L"\\\\?\\" + wide;
  return wide;
}

std::vector<TEntry> EntriesOf(const std::string& path) {
  std::vector<TEntry> entries;
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      ::FindFirstFileW((ExtendedForm(path) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({Utf8FromWide(name), (found.dwFileAttributes &
                                            FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(search, &found) != 0);
  ::FindClose(search);
  return entries;
}

void RemoveTree(const std::string& path) {
  for (const TEntry& entry : EntriesOf(path)) {
    const std::string inner = path + "\\" + entry.Name;
    if (entry.IsDirectory) {
      RemoveTree(inner);
    } else {
      const std::wstring file = ExtendedForm(inner);
      ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(file.c_str());
    }
  }
  ::RemoveDirectoryW(ExtendedForm(path).c_str());
}

#else

std::vector<TEntry> EntriesOf(const std::string& path) {
  std::vector<TEntry> entries;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(path, ec)) {
    entries.push_back(
        {entry.path().filename().string(), entry.is_directory(ec)});
  }
  return entries;
}

#endif

}  // namespace

TTempDir::TTempDir() {
  static std::atomic<unsigned> counter{0};
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    FPath =
        base / ("forbook-test-" + std::to_string(platform::CurrentProcessId()) +
                "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(FPath, ec)) break;
  }
}

TTempDir::~TTempDir() {
#ifdef _WIN32
  RemoveTree(FPath.string());
#else
  std::error_code ec;
  fs::remove_all(FPath, ec);
#endif
}

std::string TTempDir::operator/(std::string_view name) const {
  return (FPath / std::string(name)).make_preferred().string();
}

std::string Join(std::string_view directory, std::string_view relative) {
  std::string path(directory);
  path += platform::kPathDelimiter;
  for (const char c : relative) {
    path += c == '/' ? platform::kPathDelimiter : c;
  }
  return path;
}

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

std::string ConsoleText(std::u8string_view text) {
#ifdef _WIN32
  std::string out;
  for (const char c : platform::Utf8ToCp1250(U8(text))) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
#else
  return U8(text);
#endif
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(std::string_view pairs) {
  std::string bytes;
  int high = -1;
  for (const char c : pairs) {
    int nibble;
    if (c >= '0' && c <= '9') {
      nibble = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      nibble = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      nibble = c - 'A' + 10;
    } else {
      continue;
    }
    if (high < 0) {
      high = nibble;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + nibble));
      high = -1;
    }
  }
  return bytes;
}

namespace {

std::string Dump(std::string_view bytes, std::size_t from, std::size_t to) {
  std::string out;
  char cell[4];
  for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
    std::snprintf(cell, sizeof cell, "%02X ",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    out += cell;
  }
  return out;
}

}  // namespace

::testing::AssertionResult SameBytes(std::string_view actual,
                                     std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() &&
         actual[at] == expected[at]) {
    ++at;
  }
  const std::size_t from = at >= 8 ? at - 8 : 0;
  return ::testing::AssertionFailure()
         << "bytes differ at offset " << at << " (sizes " << actual.size()
         << " and " << expected.size() << ")\n  actual   @" << from << ": "
         << Dump(actual, from, at + 8) << "\n  expected @" << from << ": "
         << Dump(expected, from, at + 8);
}

std::vector<std::string> ListNames(const std::string& path) {
  std::vector<std::string> names;
  for (TEntry& entry : EntriesOf(path)) names.push_back(std::move(entry.Name));
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::string> FilesIn(const std::string& path) {
  std::map<std::string, std::string> files;
  for (const TEntry& entry : EntriesOf(path)) {
    if (!entry.IsDirectory) {
      files[entry.Name] = ReadBytes(path + "/" + entry.Name);
    }
  }
  return files;
}

#ifdef _WIN32

namespace {

// One argument of a command line, quoted so that the Windows rules give it
// back unchanged: backslashes count only before a quote.
std::wstring Quoted(std::wstring_view argument) {
  if (!argument.empty() &&
      argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

HANDLE Inheritable(const std::wstring& path, DWORD access, DWORD creation) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// Arguments are UTF-8, as the tests write them.
TRunResult RunExecutable(const std::string& exe,
                         const std::vector<std::string>& arguments) {
  TTempDir output;
  std::wstring command = Quoted(WideFromUtf8(exe));
  for (const std::string& argument : arguments) {
    command += L" " + Quoted(WideFromUtf8(argument));
  }
  const HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out =
      Inheritable(WideFromUtf8(output / "out"), GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err =
      Inheritable(WideFromUtf8(output / "err"), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  TRunResult result;
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process) != 0) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    result.Status = static_cast<int>(status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (const HANDLE handle : {in, out, err}) ::CloseHandle(handle);
  result.Stdout = ReadBytes(output / "out");
  result.Stderr = ReadBytes(output / "err");
  return result;
}

THeldFiles::THeldFiles(const std::vector<THold>& holds) {
  std::wstring command = Quoted(WideFromUtf8(FORBOOK_HOLD_FILES_EXE));
  for (const THold& hold : holds) {
    command += L" " + Quoted(WideFromUtf8(hold.Path)) + L" " +
               std::to_wstring(hold.Milliseconds);
  }
  // The helper says "held" through a pipe; its end closes the pipe, so a
  // helper that fails cannot leave the test waiting.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  if (::CreatePipe(&reading, &writing, &inherit, 0) == 0) {
    ADD_FAILURE() << "no pipe for forbook-hold-files";
    return;
  }
  ::SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writing;
  startup.hStdError = writing;
  PROCESS_INFORMATION process{};
  const bool started =
      ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process) != 0;
  ::CloseHandle(writing);
  if (started) {
    ::CloseHandle(process.hThread);
    FProcess = process.hProcess;
    std::string said;
    char chunk[64];
    DWORD got = 0;
    while (said.find('\n') == std::string::npos &&
           ::ReadFile(reading, chunk, sizeof chunk, &got, nullptr) != 0 &&
           got > 0) {
      said.append(chunk, got);
    }
    FHeld = said.starts_with("held");
  }
  ::CloseHandle(reading);
  if (!FHeld) ADD_FAILURE() << "forbook-hold-files did not hold the files";
}

THeldFiles::~THeldFiles() {
  if (FProcess == nullptr) return;
  ::WaitForSingleObject(FProcess, INFINITE);
  ::CloseHandle(FProcess);
}

std::string OnTheTestShare(const std::string& path) {
  if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' ||
      !platform::IsPathDelimiter(path[2]) ||
      !platform::DirectoryExists(std::string(kTestShare))) {
    return "";
  }
  return std::string(kTestShare) + path.substr(2);
}

#else

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

}  // namespace

TRunResult RunExecutable(const std::string& exe,
                         const std::vector<std::string>& arguments) {
  TTempDir output;
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(exe);
  for (const std::string& argument : arguments)
    command += " " + Quoted(argument);
  command +=
      " </dev/null >" + Quoted(output / "out") + " 2>" + Quoted(output / "err");
  const int raw = std::system(command.c_str());
  TRunResult result;
  result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.Stdout = ReadBytes(output / "out");
  result.Stderr = ReadBytes(output / "err");
  return result;
}

#endif

std::vector<TRunResult> RunConcurrently(
    const std::string& exe, const std::vector<std::vector<std::string>>& runs) {
  std::vector<TRunResult> results(runs.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    threads.emplace_back([&, i] { results[i] = RunExecutable(exe, runs[i]); });
  }
  for (std::thread& thread : threads) thread.join();
  return results;
}

std::string InstallProgram(const std::string& builtExe,
                           const std::string& directory) {
  const std::string target =
      (fs::path(directory) / fs::path(builtExe).filename()).string();
  fs::copy_file(builtExe, target, fs::copy_options::overwrite_existing);
  return target;
}

void TRecordingMessageBoxes::ShowError(std::string_view text) {
  Errors.emplace_back(text);
}

bool TRecordingMessageBoxes::AskYesNo(std::string_view text) {
  Questions.emplace_back(text);
  if (Answers.empty()) return false;
  const bool answer = Answers.front();
  Answers.erase(Answers.begin());
  return answer;
}

void TRecordingMessageBoxes::ShowInformation(std::string_view text) {
  Informations.emplace_back(text);
}

namespace {

platform::TSystem MakeSystem(const std::string& exeDir,
                             std::vector<std::string> arguments,
                             char decimalSeparator, TDateTime now,
                             TRecordingMessageBoxes*& boxes) {
  platform::TSystem system;
  system.Arguments = std::move(arguments);
  system.ExecutablePath = exeDir + "/forbook-bridge";
  system.Now = [now] { return now; };
  system.DecimalSeparator = decimalSeparator;
  auto recording = std::make_unique<TRecordingMessageBoxes>();
  boxes = recording.get();
  system.MessageBoxes = std::move(recording);
  return system;
}

}  // namespace

TTestSystem::TTestSystem(const std::string& exeDir,
                         std::vector<std::string> arguments,
                         char decimalSeparator, TDateTime now)
    : FBoxes(nullptr),
      FScope(MakeSystem(exeDir, std::move(arguments), decimalSeparator, now,
                        FBoxes)) {}

}  // namespace bridge::testing
