#include "platform/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

#ifdef _WIN32
// A drive's root keeps its delimiter, which it needs to name the root and
// not the drive's current directory; "/" separates as "\\" does.
TEST(WindowsPaths, DriveRootsKeepTheirDelimiter) {
  EXPECT_EQ(ExtractFileDir("C:\\forbook-bridge.exe"), "C:\\");
  EXPECT_EQ(ExtractFileDir("C:/FORBOOK/Upload"), "C:/FORBOOK");
  EXPECT_EQ(ExtractFileName("C:\\FORBOOK/Download\\klient.dbf"), "klient.dbf");
  EXPECT_EQ(ProbePath("C:\\"), TPathKind::kDirectory);
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
