// Putting files in place whole or not at all: success replaces, and a
// missing folder, a full disk or an unreadable source leave the destination
// as it was with no temporary file beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fstream>
#include <iterator>

#include "platform/system/AtomicFile.h"
#include "support/Clips.h"
#include "support/FileSizeLimit.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Two megabytes that are not all alike, so a short or shifted copy shows.
std::string bigContent() {
    std::string content(2 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7919 >> 5);
    return content;
}

TEST(AtomicFile, CopyCreatesAndReplacesWholeKeepingPermissions) {
    const fs::path dir = test::scratchDirectory("atomic-copy");
    write(dir / "source", bigContent());

    ASSERT_TRUE(copyFileAtomically(dir / "source", dir / "new"));
    EXPECT_EQ(read(dir / "new"), bigContent());
    struct stat created {};
    ASSERT_EQ(::stat((dir / "new").c_str(), &created), 0);
    const mode_t umask = ::umask(0);
    ::umask(umask);
    EXPECT_EQ(created.st_mode & 0777, 0666 & ~umask) << "a new file gets the usual permissions";

    write(dir / "old", "an older file");
    fs::permissions(dir / "old", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(copyFileAtomically(dir / "source", dir / "old"));
    EXPECT_EQ(read(dir / "old"), bigContent());
    EXPECT_EQ(fs::status(dir / "old").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"new", "old", "source"}));
}

TEST(AtomicFile, FailuresLeaveTheDestinationAndNoTemporaryFile) {
    const fs::path dir = test::scratchDirectory("atomic-failures");
    write(dir / "source", bigContent());
    write(dir / "keep", "keep me");

    const Status missingFolder = copyFileAtomically(dir / "source", dir / "missing" / "x");
    ASSERT_FALSE(missingFolder);
    EXPECT_EQ(missingFolder.error(), "No such file or directory");

    const Status missingSource = copyFileAtomically(dir / "absent", dir / "keep");
    ASSERT_FALSE(missingSource);
    EXPECT_EQ(missingSource.error(), "No such file or directory");

    // The disk fills up half-way through the copy.
    {
        const test::FileSizeLimit full(1 << 20);
        const Status copied = copyFileAtomically(dir / "source", dir / "keep");
        ASSERT_FALSE(copied);
        EXPECT_EQ(copied.error(), "File too large");
    }
    // A folder where the file should go is not replaced either.
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(copyFileAtomically(dir / "source", dir / "folder"));

    EXPECT_EQ(read(dir / "keep"), "keep me");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"folder", "keep", "source"}));
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

TEST(AtomicFile, MoveRenamesAndKeepsTheSourceWhenItCannot) {
    const fs::path dir = test::scratchDirectory("atomic-move");
    write(dir / "movie1", "rendered");
    write(dir / "movie", "an earlier render");
    ASSERT_TRUE(moveFileAtomically(dir / "movie1", dir / "movie"));
    EXPECT_EQ(read(dir / "movie"), "rendered");
    EXPECT_FALSE(fs::exists(dir / "movie1"));

    write(dir / "movie2", "second");
    const Status moved = moveFileAtomically(dir / "movie2", dir / "gone" / "movie");
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error(), "No such file or directory");
    EXPECT_EQ(read(dir / "movie2"), "second");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"movie", "movie2"}));
}

TEST(AtomicFile, MoveAcrossFileSystemsCopiesThenRemoves) {
    const fs::path dir = test::scratchDirectory("atomic-move-across");
    const fs::path elsewhere = fs::path("/dev/shm") / ("tintreel-move-" + std::to_string(::getpid()));
    struct stat here {}, there {};
    if (::stat(dir.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system to move from";
    write(elsewhere, bigContent());
    ASSERT_TRUE(moveFileAtomically(elsewhere, dir / "movie"));
    EXPECT_EQ(read(dir / "movie"), bigContent());
    EXPECT_FALSE(fs::exists(elsewhere));
}

TEST(AtomicFile, PartialNamesAreKnownAgain) {
    EXPECT_TRUE(isPartialName(partialNameBeside("/out/clip.mp4", "mp4")));
    EXPECT_TRUE(isPartialName(partialNameBeside("clip.mov")));
    for (const char* name : {"clip.mp4", "clip.partial.mp4", "take.2024.partial.mp4", "/out.1-2.partial/clip.mp4"})
        EXPECT_FALSE(isPartialName(name)) << name;
}

}  // namespace
}  // namespace tintreel
