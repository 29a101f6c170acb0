#include "platform/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Cp1250.h"
#include "testing/TestSupport.h"

namespace bridge::platform {
namespace {

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
  ASSERT_TRUE(CopyFileOverwrite(dir / "src", dir / "dst", error));
  EXPECT_EQ(ReadBytes(dir / "dst"), "12345");
  EXPECT_FALSE(CopyFileOverwrite(dir / "missing", dir / "x", error));
  EXPECT_NE(error, 0);
  ASSERT_TRUE(CreateDir(dir / "sub"));
  auto entries = ListDirectory(dir.Str());
  ASSERT_EQ(entries.size(), 3u);
  for (const TDirEntry& e : entries) {
    if (e.Name == "sub") {
      EXPECT_TRUE(e.IsDirectory);
    }
    if (e.Name == "src") {
      EXPECT_EQ(e.Size, 5u);
    }
  }
  EXPECT_TRUE(DeleteFile(dir / "src"));
  EXPECT_FALSE(DeleteFile(dir / "src"));
}

TEST(FileSystem, HandsPolishNamesToTheSystemAsUtf8) {
  TTempDir dir;
  const std::string name = Cp1250(u8"Łódź").str();
  ASSERT_TRUE(CreateDir(dir.Str() + "/" + name));
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre(bridge::testing::U8(u8"Łódź")));
  EXPECT_EQ(ListDirectory(dir.Str()).at(0).Name, name);
}

TEST(FileSystem, SplitsPaths) {
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileDir("c.txt"), "");
  EXPECT_EQ(ExtractFileDir("/c"), "/");
}

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
