#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/system/Log.h"
#include "settings/SessionFile.h"
#include "settings/SessionStore.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = SaveSchedule::Clock;

SessionState sampleSession(std::string video = "/videos/clip.mp4") {
    return {std::move(video), 12.5, "0.25\n1.0\nHello\n", "/pictures/logo.png"};
}

TEST(SessionFileTest, EverySessionReadsBackAsItWasWritten) {
    const std::vector<SessionState> sessions{
        sampleSession(),
        {"/v/clip.mp4", 0.0, "", ""},
        // Values may hold any byte: line breaks, a header-like line, numbers.
        {"/v/odd\nname.mkv", 1.0 / 3.0, "Tintreel session 1\nrecord 5\n\r\n\x0b", "/p/a b\n.png"},
        {"/v/long.mov", 86399.999, std::string(5000, 'x') + "\n", "/p/é.png"},
    };
    for (const SessionState& session : sessions) {
        const std::string text = renderSessionFile(session);
        EXPECT_TRUE(text.starts_with("Tintreel session 1\n"));
        const Result<SessionState> read = parseSessionFile(text);
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(*read, session);
    }
}

// A later release appends entries: an older reader skips them; optional
// entries an earlier release did not write take their defaults.
TEST(SessionFileTest, UnknownEntriesAreSkippedAndOptionalOnesDefault) {
    const std::string later = renderSessionFile(sampleSession()) + "fade 4\n2.50\ncrop 11\n0 0 320 240\n";
    const Result<SessionState> read = parseSessionFile(later);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(*read, sampleSession());

    const Result<SessionState> minimal =
        parseSessionFile("Tintreel session 1\nvideo 5\n/a.mp\nrecord 2\nx\n\n");
    ASSERT_TRUE(minimal) << minimal.error();
    EXPECT_EQ(*minimal, (SessionState{"/a.mp", 0.0, "x\n", ""}));
}

// The crop belongs to the session's video: it reads back as written, and a
// value in another form (a later release's) is taken for no crop rather
// than losing the whole session.
TEST(SessionFileTest, TheCropReadsBackAndAnUnreadableOneIsNone) {
    SessionState cropped = sampleSession();
    cropped.crop = PixelRect{10, 20, 640, 360};
    const std::string text = renderSessionFile(cropped);
    EXPECT_NE(text.find("crop 13\n640:360:10:20\n"), std::string::npos);
    const Result<SessionState> read = parseSessionFile(text);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(*read, cropped);
    for (const std::string value :
         {"640:360:10", "0:360:10:20", "640:360:-1:20", "640:360:10:20:5", "a:b:c:d"}) {
        const Result<SessionState> odd = parseSessionFile(renderSessionFile(sampleSession()) + "crop " +
                                                          std::to_string(value.size()) + "\n" + value + "\n");
        ASSERT_TRUE(odd) << value;
        EXPECT_FALSE(odd->crop) << value;
    }
}

// In and out points are entries of their own, each optional: a file written
// before them loads with the whole video, and either point alone reads back.
TEST(SessionFileTest, InAndOutPointsRoundTripAndOlderFilesHaveNone) {
    for (const auto& [in, out] : std::vector<std::pair<std::optional<double>, std::optional<double>>>{
             {2.5, 7.25}, {std::nullopt, 1.0 / 3.0}, {0.0, std::nullopt}, {std::nullopt, std::nullopt}}) {
        SessionState session = sampleSession();
        session.inPoint = in;
        session.outPoint = out;
        const Result<SessionState> read = parseSessionFile(renderSessionFile(session));
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(*read, session);
    }
    // As the release before in and out points wrote it.
    const std::string older =
        "Tintreel session 1\nvideo 16\n/videos/clip.mp4\nbrowse 4\n12.5\n"
        "picture 18\n/pictures/logo.png\nrecord 15\n0.25\n1.0\nHello\n\n";
    const Result<SessionState> read = parseSessionFile(older);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(*read, sampleSession());
    EXPECT_FALSE(read->inPoint || read->outPoint);
    for (const char* bad : {"in 2\n-1\n", "out 3\nabc\n", "in 0\n\n"}) {
        const Result<SessionState> damaged = parseSessionFile(renderSessionFile(sampleSession()) + bad);
        ASSERT_FALSE(damaged) << bad;
        EXPECT_NE(damaged.error().find("in or out point"), std::string::npos);
    }
}

TEST(SessionFileTest, DamagedOrForeignFilesAreRefusedWithAReason) {
    const std::string good = renderSessionFile(sampleSession());
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "not a session file"},
        {"[General]\nlast=1\n", "not a session file"},
        {"Tintreel session 2\nvideo 1\nx\n", "not a session file"},
        {good.substr(0, good.size() - 5), "cut short"},
        {good.substr(0, good.size() - 1), "cut short"},
        {"Tintreel session 1\nvideo 99999999999999999999999\nx\n", "not a number"},
        {"Tintreel session 1\nvideo -1\nx\n", "not a number"},
        {"Tintreel session 1\nvideo\n", "no name and length"},
        {"Tintreel session 1\nvideo 1\nx\n", "missing"},
        {"Tintreel session 1\nvideo 1\nx\nrecord 0\n\nbrowse 3\nabc\n", "browse position"},
        {"Tintreel session 1\nvideo 1\nx\nrecord 0\n\nbrowse 2\n-1\n", "browse position"},
        {"Tintreel session 1\nvideo 1\nx\nrecord 0\n\nbrowse 3\nnan\n", "browse position"},
        {std::string("Tintreel session 1\nvideo 1\n\0\n", 24) + "record 1", "no name and length"},
    };
    for (const auto& [text, reason] : cases) {
        const Result<SessionState> read = parseSessionFile(text);
        ASSERT_FALSE(read) << text;
        EXPECT_NE(read.error().find(reason), std::string::npos) << read.error();
    }
}

TEST(SessionFileTest, WritesAreCoalescedToAtMostOnePerGap) {
    SaveSchedule schedule(milliseconds(1000));
    const Clock::time_point start{};
    EXPECT_EQ(schedule.changed(start), Clock::duration::zero());  // nothing written yet: at once
    EXPECT_FALSE(schedule.changed(start + milliseconds(10)));     // joins the waiting write
    EXPECT_TRUE(schedule.waiting());
    schedule.wrote(start + milliseconds(20));
    EXPECT_FALSE(schedule.waiting());
    EXPECT_EQ(schedule.changed(start + milliseconds(220)), milliseconds(800));
    EXPECT_FALSE(schedule.changed(start + milliseconds(500)));
    schedule.wrote(start + milliseconds(1020));
    EXPECT_EQ(schedule.changed(start + milliseconds(5000)), Clock::duration::zero());
}

class SessionStoreTest : public ::testing::Test {
protected:
    fs::path folder = test::scratchDirectory(std::string("session-") +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());

    SessionStore openStore() {
        Result<SessionStore> store = SessionStore::open(folder);
        EXPECT_TRUE(store) << store.error();
        return std::move(*store);
    }
    int filesIn() const { return static_cast<int>(std::distance(fs::directory_iterator(folder), {})); }
};

// An editor's own session is never offered while it runs, to itself or to
// another; once it is gone, the next start claims it.
TEST_F(SessionStoreTest, OnlySessionsOfEditorsThatAreGoneAreOffered) {
    std::optional<SessionStore> running = openStore();
    ASSERT_TRUE(running->save(sampleSession()));
    SessionStore starting = openStore();
    EXPECT_FALSE(running->claimLeftSession());
    EXPECT_FALSE(starting.claimLeftSession());
    running.reset();  // gone without discard(), as after a crash or a quit by signal
    const std::optional<SessionState> claimed = starting.claimLeftSession();
    ASSERT_TRUE(claimed);
    EXPECT_EQ(*claimed, sampleSession());
}

// The newest left session is offered first; a second start at the same
// time cannot claim the same one; an answered one is gone.
TEST_F(SessionStoreTest, TheNewestLeftSessionIsClaimedByOneStartOnly) {
    ASSERT_TRUE(openStore().save(sampleSession("/older.mp4")));
    std::this_thread::sleep_for(milliseconds(20));  // file times order the two sessions
    ASSERT_TRUE(openStore().save(sampleSession("/newer.mp4")));
    SessionStore first = openStore(), second = openStore();
    const std::optional<SessionState> one = first.claimLeftSession(), other = second.claimLeftSession();
    ASSERT_TRUE(one && other);
    EXPECT_EQ(one->videoPath, "/newer.mp4");
    EXPECT_EQ(other->videoPath, "/older.mp4");
    first.dropClaimed();
    second.dropClaimed();
    EXPECT_FALSE(openStore().claimLeftSession());
}

// discard() is the normal quit: nothing left to offer, no file left behind.
TEST_F(SessionStoreTest, ANormalQuitLeavesNothing) {
    {
        SessionStore store = openStore();
        ASSERT_TRUE(store.save(sampleSession()));
        store.discard();
    }
    EXPECT_FALSE(openStore().claimLeftSession());
    EXPECT_EQ(filesIn(), 0);
}

// A damaged or foreign left file, one without a video, a half-written
// session and a lock without its session are all cleared away; each
// unreadable session says so in one line.
TEST_F(SessionStoreTest, DamagedAndHalfWrittenLeftoversAreRemovedWithOneLine) {
    std::ofstream(folder / "1-1.session") << "Tintreel session 1\nvideo 999\n";
    std::ofstream(folder / "2-2.session") << "\x7f"
                                             "ELF binary";
    std::ofstream(folder / "3-3.session") << renderSessionFile(sampleSession(""));
    std::ofstream(folder / "4-4.session.4-0.partial") << "Tintreel ses";
    std::ofstream(folder / "5-5.lock");
    ScopedLogCapture log;
    SessionStore store = openStore();
    EXPECT_FALSE(store.claimLeftSession());
    EXPECT_EQ(log.countStartingWith("Ignored the left session"), 3);
    EXPECT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(filesIn(), 1);  // this store's own lock
}

}  // namespace
}  // namespace tintreel
