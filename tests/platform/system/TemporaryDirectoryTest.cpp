#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"

namespace tintreel {
namespace {
namespace fs = std::filesystem;

void touch(const fs::path& path) { std::ofstream(path) << "x"; }


TEST(TemporaryDirectory, IsPrivateUniqueAndRemovedWithItsOwner) {
    fs::path first;
    {
        auto a = TemporaryDirectory::create();
        auto b = TemporaryDirectory::create();
        ASSERT_TRUE(a && b);
        first = a->path();
        EXPECT_NE(a->path(), b->path());
        EXPECT_NE(a->path(), fs::temp_directory_path());
        struct stat info {};
        ASSERT_EQ(::stat(a->path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        touch(a->path() / "movie1.mov");
        touch(b->path() / "movie1.mov");
        // Emptying one instance's directory leaves the other's files alone.
        DeleteTemporaryFiles(a->path());
        EXPECT_TRUE(fs::is_empty(a->path()));
        EXPECT_TRUE(fs::exists(b->path() / "movie1.mov"));
        touch(a->path() / "left-behind");
    }
    EXPECT_FALSE(fs::exists(first));
}

TEST(TemporaryDirectory, DeletesFilesAndSubdirectoriesButNotWhatLinksPointAt) {
    auto dir = TemporaryDirectory::create();
    auto outside = TemporaryDirectory::create();
    ASSERT_TRUE(dir && outside);
    touch(dir->path() / "movie.mov");
    touch(dir->path() / ".hidden");
    fs::create_directories(dir->path() / "sub" / "deeper");
    touch(dir->path() / "sub" / "deeper" / "file");
    touch(outside->path() / "precious");
    fs::create_directory_symlink(outside->path(), dir->path() / "link");

    const ScopedLogCapture log;
    DeleteTemporaryFiles(dir->path());
    EXPECT_TRUE(fs::is_empty(dir->path()));
    EXPECT_TRUE(fs::exists(outside->path() / "precious"));
    DeleteTemporaryFiles(dir->path());
    EXPECT_TRUE(log.lines().empty());
}

// Builds a directory with one entry its owner cannot remove, empties it and
// exits 0 when exactly one failure line was printed and the rest were removed.
[[noreturn]] void emptyDirectoryWithALockedEntry() {
    // Root may remove anything: drop to an unprivileged user in this child.
    if (::geteuid() == 0 && ::setgid(65534) != 0) std::_Exit(3);
    if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(3);
    auto dir = TemporaryDirectory::create();
    if (!dir) std::_Exit(4);
    fs::create_directory(dir->path() / "locked");
    touch(dir->path() / "locked" / "inside");
    touch(dir->path() / "a.mov");
    touch(dir->path() / "z.mov");
    fs::permissions(dir->path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);

    const ScopedLogCapture log;
    DeleteTemporaryFiles(dir->path());
    const bool oneLine = log.lines().size() == 1 && log.countStartingWith("Could not delete video: ") == 1;
    const bool restRemoved = !fs::exists(dir->path() / "a.mov") && !fs::exists(dir->path() / "z.mov");
    fs::permissions(dir->path() / "locked", fs::perms::owner_all);
    dir.reset();  // _Exit runs no destructors
    std::_Exit(oneLine && restRemoved ? 0 : 1);
}

TEST(TemporaryDirectoryDeathTest, AnEntryThatCannotBeRemovedIsReportedOnceAndTheRestGoOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(emptyDirectoryWithALockedEntry(), ::testing::ExitedWithCode(0), "");
}

TEST(TemporaryDirectory, AMissingDirectoryPrintsOneErrorLine) {
    const ScopedLogCapture log;
    DeleteTemporaryFiles("/nonexistent/tintreel-test");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Error: /nonexistent/tintreel-test: No such file or directory"});
}

}  // namespace
}  // namespace tintreel
