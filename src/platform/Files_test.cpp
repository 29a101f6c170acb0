#include "platform/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/Cp1250.h"
#include "platform/Files_internal.h"
#include "testing/FaultPlan.h"
#include "testing/TestSupport.h"

namespace bridge::platform {
namespace {

using bridge::testing::Join;
using bridge::testing::ListNames;
using bridge::testing::ReadBytes;
using bridge::testing::TTempDir;
using bridge::testing::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

TEST(FileSystem, CreatesOneDirectoryLevelOnly) {
  TTempDir dir;
  EXPECT_FALSE(CreateDir(dir / "a/b"));
  EXPECT_TRUE(CreateDir(dir / "a"));
  EXPECT_TRUE(DirectoryExists(dir / "a"));
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_FALSE(CreateDir(dir / "a"));
  EXPECT_TRUE(CreateDir(dir / "a/b"));
}

TEST(FileSystem, CopiesOverwritingAndListsWithSizes) {
  TTempDir dir;
  WriteBytes(dir / "src", "12345");
  WriteBytes(dir / "dst", "old content");
  int error = -1;
  ASSERT_TRUE(CopyFileDurably(dir / "src", dir / "dst", error));
  EXPECT_EQ(ReadBytes(dir / "dst"), "12345");
  EXPECT_FALSE(CopyFileDurably(dir / "missing", dir / "x", error));
  EXPECT_NE(error, 0);
  ASSERT_TRUE(CreateDir(dir / "sub"));
  auto entries = ListDirectory(dir.Str());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  for (const TDirEntry& e : *entries) {
    if (e.Name == "sub") {
      EXPECT_TRUE(e.IsDirectory);
    }
    if (e.Name == "src") {
      EXPECT_EQ(e.Size, 5u);
    }
  }
  EXPECT_FALSE(ListDirectory(dir / "missing"));
}

TEST(FileSystem, RemovingLeavesNoFileOrSaysWhy) {
  TTempDir dir;
  WriteBytes(dir / "f", "x");
  EXPECT_TRUE(RemoveFile(dir / "f"));
  EXPECT_TRUE(RemoveFile(dir / "f"));  // nothing there is no failure
  ASSERT_TRUE(CreateDir(dir / "d"));
  EXPECT_FALSE(RemoveFile(dir / "d"));
  EXPECT_EQ(ProbePath(dir / "d"), TPathKind::kDirectory);
  EXPECT_EQ(ProbePath(dir / "f"), TPathKind::kNone);
  EXPECT_EQ(ProbePath(dir / "f/under-a-file"), TPathKind::kNone);
}

TEST(FileSystem, RenamesWithoutReplacingOnlyToAFreeName) {
  TTempDir dir;
  WriteBytes(dir / "a", "a");
  WriteBytes(dir / "b", "b");
  EXPECT_FALSE(RenameNoReplace(dir / "a", dir / "b"));
  EXPECT_EQ(ReadBytes(dir / "b"), "b");
  EXPECT_TRUE(RenameNoReplace(dir / "a", dir / "c"));
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("b", "c"));
  EXPECT_TRUE(RenameFile(dir / "c", dir / "b"));
  EXPECT_EQ(ReadBytes(dir / "b"), "a");
  EXPECT_TRUE(FlushDirectory(dir.Str()));
}

TEST(FileLock, ASecondHolderWaitsAndThenGivesUp) {
  TTempDir dir;
  using TResult = TFileLock::TResult;
  TResult result{};
  auto first =
      TFileLock::Acquire(dir / "d.lock", std::chrono::milliseconds(0), result);
  ASSERT_TRUE(first);
  EXPECT_EQ(result, TResult::kHeld);
  EXPECT_FALSE(TFileLock::Acquire(dir / "d.lock",
                                  std::chrono::milliseconds(120), result));
  EXPECT_EQ(result, TResult::kBusy);
  first.reset();
  EXPECT_TRUE(
      TFileLock::Acquire(dir / "d.lock", std::chrono::milliseconds(0), result));
  EXPECT_FALSE(TFileLock::Acquire(dir / "missing/d.lock",
                                  std::chrono::milliseconds(0), result));
  EXPECT_EQ(result, TResult::kFailed);
}

TEST(ReplaceOnCommit, TemporariesAreFoundByNameWithTheirWriters) {
  TTempDir dir;
  // 2^22 + 1 is above the process numbers of Linux and Windows.
  EXPECT_TRUE(ProcessRunning(CurrentProcessId()));
  EXPECT_FALSE(ProcessRunning(4194305));
  struct TCase {
    std::string Name;
    std::string Target;  // empty: no temporary file
    int ProcessId;
  };
  const TCase cases[] = {
      {ExtractFileName(TReplaceOnCommit::TemporaryPathOf("f.cfg")), "f.cfg",
       CurrentProcessId()},
      {"f.cfg.4194305.tmp", "f.cfg", 4194305},
      {"dok.txt.tmp", "dok.txt", 0},  // as earlier versions named them
      {"f.cfg.x.tmp", "f.cfg.x", 0},
      {"a.0.tmp", "a.0", 0},
      {"f.cfg.4194305.bak", "", 0},
      {".tmp", "", 0},
  };
  for (const TCase& c : cases) WriteBytes(dir / c.Name, "");
  ASSERT_TRUE(CreateDir(dir / "d.4194305.tmp"));
  const auto found = ListTemporaries(dir.Str());
  ASSERT_TRUE(found);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto temporary = std::find_if(
        found->begin(), found->end(),
        [&](const TTemporary& t) { return t.Path == dir / c.Name; });
    ASSERT_EQ(temporary != found->end(), !c.Target.empty());
    if (temporary == found->end()) continue;
    EXPECT_EQ(temporary->Target, c.Target);
    EXPECT_EQ(temporary->ProcessId, c.ProcessId);
    EXPECT_EQ(temporary->Abandoned(), c.ProcessId != CurrentProcessId());
  }
  EXPECT_EQ(found->size(), 5u);
  EXPECT_FALSE(ListTemporaries(dir / "missing"));
}

#ifndef _WIN32
// Where the system cannot rename without replacing in one step, the file
// gets a second name and loses the first; a stop in between never leaves
// it stuck under two names.
TEST(FileSystem, ARenameByLinkIsUndoneOrFinishedNeverLeftHalfWay) {
  TTempDir dir;
  const std::string a = dir / "a";
  const std::string b = dir / "b";
  WriteBytes(a, "a");
  {
    bridge::testing::TScopedFaults faults;
    faults->Fail(TFileOp::kRemove, "/a");
    EXPECT_FALSE(files_internal::RenameByLink(a, b));
  }
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("a"));
  // Stopped with both names, as a crash between the two steps leaves it:
  // the next rename finishes.
  std::filesystem::create_hard_link(a, b);
  EXPECT_TRUE(SameFile(a, b));
  EXPECT_TRUE(RenameNoReplace(a, b));
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("b"));
  // Another file in the way stays in the way, by either way of renaming.
  WriteBytes(a, "other");
  EXPECT_FALSE(SameFile(a, b));
  EXPECT_FALSE(RenameNoReplace(a, b));
  EXPECT_FALSE(files_internal::RenameByLink(a, b));
  EXPECT_EQ(ReadBytes(b), "a");
  EXPECT_TRUE(files_internal::RenameByLink(a, dir / "c"));
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("b", "c"));
}
#endif

TEST(FileSystem, HandsPolishNamesToTheSystemAsUtf8) {
  TTempDir dir;
  const std::string name = Cp1250(u8"Łódź").str();
  ASSERT_TRUE(CreateDir(Join(dir.Str(), name)));
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre(bridge::testing::U8(u8"Łódź")));
  EXPECT_EQ(ListDirectory(dir.Str()).value().at(0).Name, name);
}

TEST(FileSystem, SplitsPaths) {
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileDir("c.txt"), "");
  EXPECT_EQ(ExtractFileDir("/c"), "/");
}

// Every operation on the files of a directory, as the jobs use them.
void ExpectEveryOperationWorksIn(const std::string& directory) {
  const std::string sub = Join(directory, "d");
  ASSERT_TRUE(CreateDir(sub));
  EXPECT_TRUE(DirectoryExists(sub));
  const std::string file = Join(sub, "f.dbf");
  auto writer = TReplaceOnCommit::Begin(file);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(writer->Write("12345"));
  ASSERT_TRUE(writer->Commit());
  EXPECT_EQ(ProbePath(file), TPathKind::kFile);
  EXPECT_EQ(FileSize(file), 5u);
  EXPECT_EQ(ReadWholeFile(file), "12345");
  int error = -1;
  EXPECT_TRUE(CopyFileDurably(file, Join(sub, "copy.dbf"), error));
  EXPECT_TRUE(RenameNoReplace(Join(sub, "copy.dbf"), Join(sub, "g.dbf")));
  EXPECT_TRUE(RenameFile(Join(sub, "g.dbf"), file));
  EXPECT_TRUE(FlushDirectory(sub));
  TFileLock::TResult result{};
  EXPECT_TRUE(TFileLock::Acquire(Join(sub, "d.lock"),
                                 std::chrono::milliseconds(0), result));
  const auto entries = ListDirectory(sub);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ(entries->at(0).Name, "f.dbf");
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_EQ(ProbePath(file), TPathKind::kNone);
}

// Directories below dir, each level made on its own, until the path is
// longer than Windows takes in its plain form (260 characters).
std::string MakeLongPath(const std::string& dir) {
  std::string path = dir;
  for (char level = 'a'; path.size() <= 300; ++level) {
    path = Join(path, std::string(60, level));
    if (!CreateDir(path)) return "";
  }
  return path;
}

TEST(FileSystem, EveryOperationWorksOnPathsOfAnyLength) {
  TTempDir dir;
  const std::string path = MakeLongPath(dir.Str());
  ASSERT_FALSE(path.empty());
  ExpectEveryOperationWorksIn(path);
}

#ifdef _WIN32
// A drive's root keeps its delimiter, which it needs to name the root and
// not the drive's current directory; "/" separates as "\\" does. A share
// is a root of its own.
TEST(WindowsPaths, DriveRootsKeepTheirDelimiter) {
  EXPECT_EQ(ExtractFileDir("C:\\forbook-bridge.exe"), "C:\\");
  EXPECT_EQ(ExtractFileDir("C:/FORBOOK/Upload"), "C:/FORBOOK");
  EXPECT_EQ(ExtractFileName("C:\\FORBOOK/Download\\klient.dbf"), "klient.dbf");
  EXPECT_EQ(ProbePath("C:\\"), TPathKind::kDirectory);
  EXPECT_EQ(ExtractFileDir("\\\\serwer\\udzial\\FORBOOK"),
            "\\\\serwer\\udzial");
  EXPECT_EQ(ExtractFileDir("//serwer/udzial/FORBOOK/"),
            "//serwer/udzial/FORBOOK");
}

// Nothing asks the system, or the network, to create a drive or a share.
TEST(WindowsPaths, RootsAreNeverCreated) {
  bridge::testing::TScopedFaults faults;
  for (const char* root : {"C:", "C:\\", "\\\\serwer", "\\\\serwer\\udzial",
                           "\\\\nieznany\\udzial\\", "//serwer/udzial"}) {
    EXPECT_FALSE(CreateDir(root)) << root;
  }
  EXPECT_THAT(faults->Trace(), IsEmpty());
}

TEST(WindowsPaths, EveryOperationWorksOnAShare) {
  TTempDir dir;
  const std::string share = bridge::testing::OnTheTestShare(dir.Str());
  if (share.empty()) {
    GTEST_SKIP() << "no share " << bridge::testing::kTestShare;
  }
  ExpectEveryOperationWorksIn(share);
  const std::string path = MakeLongPath(share);
  ASSERT_FALSE(path.empty());
  ExpectEveryOperationWorksIn(path);
}

// The file operations as they meet a file that another program holds: the
// helper holds "f" or "g" of a directory that holds both. Each step gives 0
// when it succeeds, otherwise the system's error number where the program
// shows it (a backup's copy) and -1 elsewhere.
struct TBusyCase {
  const char* Name;
  const char* Held;
  std::function<int(const TTempDir&)> Step;
  int Error = -1;
};

int Failed(bool done) { return done ? 0 : -1; }

int Copied(const std::string& from, const std::string& to) {
  int error = 0;
  return CopyFileDurably(from, to, error) ? 0 : error;
}

const TBusyCase kBusyCases[] = {
    {"reading", "f",
     [](const TTempDir& dir) {
       return Failed(TFile::Open(dir / "f", TFile::TMode::kRead) != nullptr);
     }},
    {"writing over", "f",
     [](const TTempDir& dir) {
       return Failed(TFile::Open(dir / "f", TFile::TMode::kCreate) != nullptr);
     }},
    {"deleting", "f",
     [](const TTempDir& dir) { return Failed(RemoveFile(dir / "f")); }},
    {"renaming", "f",
     [](const TTempDir& dir) {
       return Failed(RenameFile(dir / "f", dir / "h"));
     }},
    {"renaming over", "g",
     [](const TTempDir& dir) {
       return Failed(RenameFile(dir / "f", dir / "g"));
     }},
    {"renaming to a free name", "f",
     [](const TTempDir& dir) {
       return Failed(RenameNoReplace(dir / "f", dir / "h"));
     }},
    {"copying", "f",
     [](const TTempDir& dir) { return Copied(dir / "f", dir / "h"); },
     32},  // ERROR_SHARING_VIOLATION
    {"copying over", "g",
     [](const TTempDir& dir) { return Copied(dir / "f", dir / "g"); }},
};

using TClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void WriteFandG(const TTempDir& dir) {
  WriteBytes(dir / "f", "f");
  WriteBytes(dir / "g", "g");
}

TEST(BusyFiles, AFileHeldForAMomentIsWaitedFor) {
  for (const TBusyCase& busy : kBusyCases) {
    SCOPED_TRACE(busy.Name);
    TTempDir dir;
    WriteFandG(dir);
    bridge::testing::THeldFiles held({{dir / busy.Held, 300}});
    ASSERT_TRUE(held.Held());
    const auto start = TClock::now();
    EXPECT_EQ(busy.Step(dir), 0);
    // It met the held file: it would have taken a moment otherwise.
    EXPECT_GT(TClock::now() - start, milliseconds(150));
  }
}

// Each step waits about two seconds in all, then fails as the system
// reported, having changed nothing; all run at once, on files of their own.
TEST(BusyFiles, AFileHeldLongerFailsAfterTheWait) {
  std::vector<std::unique_ptr<TTempDir>> dirs;
  std::vector<bridge::testing::THeldFiles::THold> holds;
  for (const TBusyCase& busy : kBusyCases) {
    dirs.push_back(std::make_unique<TTempDir>());
    WriteFandG(*dirs.back());
    holds.push_back({*dirs.back() / busy.Held, 5000});
  }
  std::vector<int> outcomes(dirs.size());
  std::vector<TClock::duration> took(dirs.size());
  {
    bridge::testing::THeldFiles held(holds);
    ASSERT_TRUE(held.Held());
    std::vector<std::thread> steps;
    for (std::size_t i = 0; i < dirs.size(); ++i) {
      steps.emplace_back([&, i] {
        const auto start = TClock::now();
        outcomes[i] = kBusyCases[i].Step(*dirs[i]);
        took[i] = TClock::now() - start;
      });
    }
    for (std::thread& step : steps) step.join();
  }
  for (std::size_t i = 0; i < dirs.size(); ++i) {
    SCOPED_TRACE(kBusyCases[i].Name);
    if (kBusyCases[i].Error == -1) {
      EXPECT_NE(outcomes[i], 0);
    } else {
      EXPECT_EQ(outcomes[i], kBusyCases[i].Error);
    }
    EXPECT_GT(took[i], milliseconds(1900));
    EXPECT_LT(took[i], milliseconds(3500));
    EXPECT_THAT(ListNames(dirs[i]->Str()), ElementsAre("f", "g"));
    EXPECT_EQ(ReadBytes(*dirs[i] / "f") + ReadBytes(*dirs[i] / "g"), "fg");
  }
}

TEST(BusyFiles, ReadOnlyFilesAndDirectoriesFailAtOnce) {
  TTempDir dir;
  WriteFandG(dir);
  std::filesystem::permissions(dir / "g", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ASSERT_TRUE(CreateDir(dir / "d"));
  const auto start = TClock::now();
  EXPECT_FALSE(RemoveFile(dir / "g"));
  EXPECT_FALSE(RemoveFile(dir / "d"));
  EXPECT_FALSE(RenameFile(dir / "f", dir / "d"));
  EXPECT_FALSE(TFile::Open(dir / "d", TFile::TMode::kCreate));
  EXPECT_LT(TClock::now() - start, milliseconds(500));
  std::filesystem::permissions(dir / "g", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}
#endif

TEST(ReplaceOnCommit, LeavesTheOldFileUntilCommitted) {
  TTempDir dir;
  const std::string target = dir / "f.cfg";
  WriteBytes(target, "old");
  {
    auto writer = TReplaceOnCommit::Begin(target);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->Write("new"));
    EXPECT_EQ(ReadBytes(target), "old");
  }
  EXPECT_EQ(ReadBytes(target), "old");
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("f.cfg"));
  auto writer = TReplaceOnCommit::Begin(target);
  ASSERT_TRUE(writer->Write("new"));
  ASSERT_TRUE(writer->Commit());
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("f.cfg"));
  EXPECT_FALSE(TReplaceOnCommit::Begin(dir / "missing/f"));
}

TEST(ReadWhole, GivesNothingForMissingFilesAndDirectories) {
  TTempDir dir;
  EXPECT_FALSE(ReadWholeFile(dir / "missing"));
  EXPECT_FALSE(ReadWholeFile(dir.Str()));
  WriteBytes(dir / "f", std::string("a\0b", 3));
  EXPECT_EQ(ReadWholeFile(dir / "f"), std::string("a\0b", 3));
}

}  // namespace
}  // namespace bridge::platform
