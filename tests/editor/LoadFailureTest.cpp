// A video that cannot be loaded says why under the usual sentence, and the
// window's title names the video that is open.
#include <gtest/gtest.h>

#include <fstream>

#include "support/EditorFixture.h"

namespace tintreel {
namespace {

const QString kNotLoaded = QStringLiteral("The video could not be loaded.");

// The first half of an MP4 whose index comes last, as a copy stopped midway leaves it.
std::filesystem::path cutShortMovie() {
    const std::filesystem::path whole =
        test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=2 -pix_fmt yuv420p -c:v libx264", "mp4");
    const std::filesystem::path half = test::scratchDirectory("load-failure-cut") / "half.mp4";
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(half, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    return half;
}

std::filesystem::path textNamedLikeAMovie() {
    const std::filesystem::path notes = test::scratchDirectory("load-failure-text") / "notes.mov";
    std::ofstream(notes) << "These are notes about a movie, not a movie.\n";
    return notes;
}

class LoadFailureTest : public EditorFixture {};

TEST_F(LoadFailureTest, TheAlertSaysWhyAVideoCouldNotBeLoadedAndTheTitleNamesTheOpenOne) {
    const std::filesystem::path picture = test::scratchDirectory("load-failure-picture") / "photo.png";
    ASSERT_TRUE(test::writePicture(picture));
    const struct {
        const char* name;
        std::filesystem::path file;
        QString detail;
    } cases[] = {
        {"missing", "/nonexistent/gone.mp4", "The file cannot be read: it is gone, or you may not read it."},
        {"text named .mov", textNamedLikeAMovie(), "The file is not a movie."},
        {"a picture", picture, "The file is not a movie."},
        {"sound only", test::makeClip("-f lavfi -i sine=frequency=440:duration=1 -c:a aac", "mp4"),
         "The movie has no video track."},
        {"cut in half", cutShortMovie(),
         "The movie ends before its first picture: it was cut short or is damaged."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        dialogs.alerts.clear();
        controller->openVideo(QString::fromStdString(c.file.string()));
        ASSERT_TRUE(settle());
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].text, kNotLoaded);
        EXPECT_EQ(dialogs.alerts[0].detail, c.detail);
        EXPECT_TRUE(controller->videoPath().isEmpty());
        EXPECT_EQ(window.windowTitle(), "Tintreel");
    }

    // The title names the open video.
    const std::filesystem::path movie = test::scratchDirectory("load-failure-title") / "holiday clip.mp4";
    std::filesystem::copy_file(clip(), movie, std::filesystem::copy_options::overwrite_existing);
    // A file named when the program starts opens as through the open panel.
    controller->openVideo(QString::fromStdString(movie.string()));
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(movie.string()));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("holiday clip.mp4 \u2014 Tintreel"));
    // A later failure leaves the open video, and its title, as they were.
    controller->openVideo(QString::fromStdString(textNamedLikeAMovie().string()));
    ASSERT_TRUE(settle());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("holiday clip.mp4 \u2014 Tintreel"));
    window.command("OnFileNew")->trigger();
    EXPECT_EQ(window.windowTitle(), "Tintreel");
}

}  // namespace
}  // namespace tintreel
