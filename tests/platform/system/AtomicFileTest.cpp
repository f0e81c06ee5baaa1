// Putting files in place whole or not at all: success replaces, and a
// missing folder, a full disk or an unreadable source leave the destination
// as it was with no temporary file beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/system/AtomicFile.h"
#include "platform/system/ProcessTag.h"
#include "support/Clips.h"
#include "support/FileSizeLimit.h"
#include "support/GoneProcess.h"

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
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
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
    struct stat here {
    }, there{};
    if (::stat(dir.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system to move from";
    write(elsewhere, bigContent());
    ASSERT_TRUE(moveFileAtomically(elsewhere, dir / "movie"));
    EXPECT_EQ(read(dir / "movie"), bigContent());
    EXPECT_FALSE(fs::exists(elsewhere));
}

// Without replacing, a file found at the destination wins: ours goes, the
// call says so, and of two moves racing for one name exactly one succeeds.
TEST(AtomicFile, KeepingWhatIsThereNeverReplacesAFile) {
    const fs::path dir = test::scratchDirectory("atomic-keep");
    write(dir / "source", "ours");
    for (bool move : {false, true}) {
        if (move) write(dir / "mine", "ours");
        write(dir / "taken", "theirs");
        const auto put = [&](const fs::path& to) {
            return move ? moveFileAtomically(dir / "mine", to, IfTaken::Keep)
                        : copyFileAtomically(dir / "source", to, IfTaken::Keep);
        };
        const Status refused = put(dir / "taken");
        ASSERT_FALSE(refused) << "move " << move;
        EXPECT_TRUE(wasTaken(refused));
        EXPECT_EQ(read(dir / "taken"), "theirs");
        ASSERT_TRUE(put(dir / "free")) << "move " << move;
        EXPECT_EQ(read(dir / "free"), "ours");
        EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"free", "source", "taken"}));
        fs::remove(dir / "free");
    }
    EXPECT_FALSE(wasTaken(moveFileAtomically(dir / "absent", dir / "elsewhere", IfTaken::Keep)));

    for (int round = 0; round < 20; ++round) {
        write(dir / "a", "a");
        write(dir / "b", "b");
        Status first, second;
        {
            std::jthread one([&] { first = moveFileAtomically(dir / "a", dir / "out", IfTaken::Keep); });
            std::jthread two([&] { second = moveFileAtomically(dir / "b", dir / "out", IfTaken::Keep); });
        }
        ASSERT_NE(first.ok(), second.ok()) << "round " << round;
        EXPECT_EQ(read(dir / "out"), first ? "a" : "b");
        EXPECT_TRUE(wasTaken(first ? second : first));
        fs::remove(dir / "out");
        fs::remove(dir / "a");
        fs::remove(dir / "b");
    }
}

// Partial files a killed run of this machine left are removed by the next
// run of that output; a running process's, another machine's, an older
// version's and another output's are not.
TEST(AtomicFile, AbandonedPartialFilesOfThisMachineAreRemoved) {
    const fs::path dir = test::scratchDirectory("atomic-abandoned");
    const std::string gone = std::to_string(test::goneProcessId());
    const std::string otherHost = hostTag() + "x";
    const std::vector<std::pair<std::string, bool>> files{
        {"out.mp4." + hostTag() + "-" + gone + "-0.partial.mp4", true},
        {"out.mp4." + hostTag() + "-" + gone + "-3.partial", true},
        {"out.mp4." + processTag() + "-0.partial.mp4", false},
        {"out.mp4." + otherHost + "-" + gone + "-0.partial.mp4", false},
        {"out.mp4." + gone + "-0.partial.mp4", false},
        {"other.mp4." + hostTag() + "-" + gone + "-0.partial.mp4", false},
        {"out.mp4", false},
    };
    for (const auto& [name, abandoned] : files) write(dir / name, "x");
    fs::create_directory(dir / ("out.mp4." + hostTag() + "-" + gone + "-1.partial"));

    EXPECT_EQ(removeAbandonedPartials(dir / "out.mp4"), 2);
    for (const auto& [name, abandoned] : files) EXPECT_EQ(fs::exists(dir / name), !abandoned) << name;
    EXPECT_TRUE(fs::is_directory(dir / ("out.mp4." + hostTag() + "-" + gone + "-1.partial")));
}

TEST(AtomicFile, PartialNamesAreKnownAgain) {
    EXPECT_TRUE(isPartialName(partialNameBeside("/out/clip.mp4", "mp4")));
    EXPECT_TRUE(isPartialName(partialNameBeside("clip.mov")));
    EXPECT_NE(partialNameBeside("clip.mov").string().find(processTag()), std::string::npos);
    EXPECT_TRUE(isPartialName("clip.mov.8689-0.partial.mov")) << "an older version's name";
    for (const char* name :
         {"clip.mp4", "clip.partial.mp4", "take.2024.partial.mp4", "/out.1-2.partial/clip.mp4"})
        EXPECT_FALSE(isPartialName(name)) << name;
}

}  // namespace
}  // namespace tintreel
