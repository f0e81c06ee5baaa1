#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include "platform/system/Log.h"
#include "platform/system/ProcessTag.h"
#include "platform/system/TemporaryDirectory.h"
#include "support/Clips.h"
#include "support/GoneProcess.h"

namespace tintreel {
namespace {
namespace fs = std::filesystem;

void touch(const fs::path& path) {
    std::ofstream(path) << "x";
}

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

// A killed run's directory (and the per-effect movies in it) is removed by a
// later run of this machine; a running process's and another machine's are
// not, nor what is not ours.
TEST(TemporaryDirectory, AbandonedDirectoriesOfThisMachineAreRemoved) {
    const std::optional<TemporaryDirectory> made = TemporaryDirectory::create();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->path().filename().string().rfind("tintreel-" + processTag() + "-", 0), 0u)
        << made->path();

    const fs::path parent = test::scratchDirectory("temporary-abandoned");
    const std::string gone = std::to_string(test::goneProcessId());
    const std::vector<std::pair<std::string, bool>> folders{
        {"tintreel-" + hostTag() + "-" + gone + "-a1B2c3", true},
        {"tintreel-" + processTag() + "-a1B2c3", false},
        {"tintreel-" + hostTag() + "x-" + gone + "-a1B2c3", false},
        {"tintreel-" + hostTag() + "-" + gone, false},
        {"other-" + hostTag() + "-" + gone + "-a1B2c3", false},
    };
    for (const auto& [name, abandoned] : folders) {
        fs::create_directories(parent / name / "sub");
        touch(parent / name / "sub" / "movie2.mov");
    }
    touch(parent / ("tintreel-" + hostTag() + "-" + gone + "-zzzzzz"));  // a file, not a directory

    EXPECT_EQ(removeAbandonedTemporaryDirectories(parent), 1);
    for (const auto& [name, abandoned] : folders) EXPECT_EQ(fs::exists(parent / name), !abandoned) << name;
    EXPECT_TRUE(fs::exists(parent / ("tintreel-" + hostTag() + "-" + gone + "-zzzzzz")));
}

TEST(TemporaryDirectory, DeletesFilesAndSubdirectoriesButNotWhatLinksPointAtAndSaysWhatIsMissing) {
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

    DeleteTemporaryFiles("/nonexistent/tintreel-test");  // a missing directory: one error line
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Error: /nonexistent/tintreel-test: No such file or directory"});
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

}  // namespace
}  // namespace tintreel
