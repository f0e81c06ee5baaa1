// Every hostile movie down every road that can meet it: dropped on the
// preview, chosen in the open panel, browsed, refreshed, rendered from the
// window, and given to tintreel-render in movie and still mode. Each road
// ends in its specified message or a clean one of ours: no crash, no hang
// (every wait has a time limit), and nothing left in a temporary directory
// after a failed render.
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

#include "cli/CliProgram.h"
#include "hardening/HostileCorpus.h"
#include "platform/ui/Stepper.h"
#include "preview/VideoImageView.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::HostileInput;
using test::Verdict;

const QString kNotLoaded = QStringLiteral("The video could not be loaded.");
const QString kCouldNotGenerate = QStringLiteral("Could not generate preview.");

// Holds `outcome` against the input's verdict: usable inputs must succeed,
// refused ones must not; a damaged one may go either way.
void expectVerdict(const HostileInput& input, bool succeeded, const std::string& road) {
    if (input.verdict == Verdict::Usable) {
        EXPECT_TRUE(succeeded) << road << " refused a usable input";
    } else if (input.verdict == Verdict::Refused) {
        EXPECT_FALSE(succeeded) << road << " accepted a broken input";
    }
}

// ffprobe's word on a rendered movie: an H.264 stream with at least one frame.
void expectPlayableMovie(const fs::path& movie) {
    const auto facts = test::probeStream(movie, "v:0");
    ASSERT_TRUE(facts) << movie;
    EXPECT_EQ(facts->codec, "h264") << movie;
    EXPECT_GT(facts->packets, 0) << movie;
}

class HostileMovieInWindow : public EditorFixture, public ::testing::WithParamInterface<HostileInput> {
protected:
    bool drop(const fs::path& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(test::q(path))});
        const bool accepted = outlet<VideoImageView>("imageViewVideo")->performDragOperation(&data);
        EXPECT_TRUE(settle());
        return accepted;
    }

    // The browse stepper to `seconds`; true when a frame was installed there.
    bool browseTo(double seconds) {
        auto* stepper = outlet<Stepper>("stepperBrowseFrames");
        stepper->setDoubleValue(seconds);
        const double asked = stepper->doubleValue();
        controller->OnBrowseFrames();
        EXPECT_TRUE(settle());
        if (stepper->doubleValue() == asked) return true;
        EXPECT_EQ(stepper->doubleValue(), std::max(asked - 1.0, stepper->minimum()))
            << "a failed browse steps back by one second";
        return false;
    }

    // One pass, so the movie goes straight from the input to its final encoding.
    void expectRenderEndsCleanly(const HostileInput& input) {
        outlet<QCheckBox>("checkVignette")->setChecked(false);
        outlet<QCheckBox>("checkSepia")->setChecked(true);
        QSignalSpy finished(controller, &ViewController::renderFinished);
        const size_t alertsBefore = dialogs.alerts.size();
        controller->OnGeneratePreview();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(120000)) << "the render hung";
        const bool succeeded = !controller->newVideoPath().isEmpty();
        expectVerdict(input, succeeded, "render from the window");
        if (succeeded) {
            EXPECT_EQ(dialogs.alerts.size(), alertsBefore);
            EXPECT_EQ(test::entryCount(directory.path()), 1) << "only the rendered movie stays";
            expectPlayableMovie(controller->newVideoPath().toStdString());
        } else {
            ASSERT_EQ(dialogs.alerts.size(), alertsBefore + 1);
            EXPECT_EQ(dialogs.alerts.back().text, kCouldNotGenerate);
            EXPECT_EQ(test::entryCount(directory.path()), 0) << "a failed render left files behind";
        }
        EXPECT_EQ(outlet<QPushButton>("buttonGeneratePreview")->text(), "Generate Preview");
    }
};

TEST_P(HostileMovieInWindow, EveryWindowRoadEndsCleanly) {
    const HostileInput& input = GetParam();
    const fs::path path = input.make();
    ASSERT_TRUE(fs::exists(path)) << "fixture not generated: " << path;

    const bool dropped = drop(path);  // the first drop after start-up asks nothing
    expectVerdict(input, dropped, "drop");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(dialogs.alerts.empty()) << "a refused drop says nothing";
    EXPECT_EQ(controller->videoPath(), dropped ? test::q(path) : QString());

    controller->ResetInterface();
    load(path);
    const bool opened = controller->videoPath() == test::q(path);
    EXPECT_EQ(opened, dropped) << "the open panel and the drop disagree";
    if (!opened) {
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].text, kNotLoaded);
        controller->OnGeneratePreview();  // nothing loaded, nothing to render
        EXPECT_EQ(dialogs.alerts.back().text,
                  "There is no video selected. Please select a video and try again.");
        return;
    }
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_FALSE(controller->snapshot()->isEmpty());

    browseTo(0.5);
    EXPECT_FALSE(browseTo(3600.0)) << "a position past the end yields no frame";
    EXPECT_TRUE(dialogs.alerts.empty()) << "browsing reports nothing";

    outlet<QCheckBox>("checkVignette")->setChecked(true);
    controller->UpdateImageEffect();
    ASSERT_TRUE(settle());
    const std::optional<QImage> shown = outlet<VideoImageView>("imageViewVideo")->image();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), QSize(controller->snapshot()->width(), controller->snapshot()->height()));

    expectRenderEndsCleanly(input);
}

class HostileMovieInProgram : public ::testing::TestWithParam<HostileInput> {};

TEST_P(HostileMovieInProgram, MovieAndStillModesEndCleanly) {
    const HostileInput& input = GetParam();
    const fs::path path = input.make();
    ASSERT_TRUE(fs::exists(path)) << "fixture not generated: " << path;
    const fs::path dir = test::scratchDirectory("hostile-cli-" + input.name), runtime = dir / "runtime";
    const fs::path movie = dir / ("out" + path.extension().string());
    const fs::path still = dir / "out.png";

    const test::CliRun render =
        test::runCli({"-o", test::q(movie), "--set", "checkSepia=1", test::q(path)}, runtime);
    ASSERT_TRUE(test::endedOnItsOwn(render));
    expectVerdict(input, render.status == 0, "tintreel-render");
    if (render.status == 0) {
        expectPlayableMovie(movie);
    } else {
        EXPECT_TRUE(render.status == 1 || render.status == 2) << render.status;
        EXPECT_FALSE(render.errors.empty()) << "a refusal says why";
        EXPECT_FALSE(fs::exists(movie));
    }
    EXPECT_EQ(test::entryCount(runtime), 0) << "the private directory was left behind";

    const test::CliRun frame = test::runCli({"--still", "0", "-o", test::q(still), test::q(path)}, runtime);
    ASSERT_TRUE(test::endedOnItsOwn(frame));
    expectVerdict(input, frame.status == 0, "tintreel-render --still");
    EXPECT_EQ(frame.status == 0, test::probeStream(still, "v:0").has_value()) << frame.errors;
    EXPECT_TRUE(frame.status == 0 || frame.status == 2) << frame.errors;
    const long outputs = (render.status == 0 ? 1 : 0) + (frame.status == 0 ? 1 : 0);
    EXPECT_EQ(test::entryCount(dir), 1 + outputs) << "nothing but the runtime directory and the outputs";
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileMovieInWindow, ::testing::ValuesIn(test::hostileMovies()),
                         test::parameterName);
INSTANTIATE_TEST_SUITE_P(Corpus, HostileMovieInProgram, ::testing::ValuesIn(test::hostileMovies()),
                         test::parameterName);

// Watermark pictures that are not pictures, are empty, cut short or far too
// big, down both roads that take a picture: the window's Choose Picture
// (then a refresh and a render with the image watermark on) and
// tintreel-render's --logo, in movie and still mode.
class HostilePictureInWindow : public EditorFixture, public ::testing::WithParamInterface<HostileInput> {};

TEST_P(HostilePictureInWindow, ChoosingItKeepsTheEditorWhole) {
    const HostileInput& input = GetParam();
    const fs::path picture = input.make();
    ASSERT_TRUE(fs::exists(picture)) << "fixture not generated: " << picture;
    load(test::healthyClip());
    outlet<QCheckBox>("checkImageWatermark")->setChecked(true);

    dialogs.openPaths.push_back(test::q(picture));
    controller->OnSelectImage();
    ASSERT_TRUE(settle());
    const bool taken = !controller->logo()->isEmpty();
    expectVerdict(input, taken, "Choose Picture");
    if (taken) {
        EXPECT_TRUE(dialogs.alerts.empty());
        EXPECT_EQ(outlet<QLineEdit>("textFieldImage")->text(), test::q(picture.filename()));
    } else {
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].text, "The image could not be loaded.");
        EXPECT_TRUE(outlet<QLineEdit>("textFieldImage")->text().isEmpty()) << "the old choice stays";
    }

    controller->UpdateImageEffect();
    ASSERT_TRUE(settle());
    QSignalSpy finished(controller, &ViewController::renderFinished);
    controller->OnGeneratePreview();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(120000)) << "the render hung";
    EXPECT_FALSE(controller->newVideoPath().isEmpty()) << "a refused picture does not stop the render";
    EXPECT_EQ(dialogs.alerts.size(), taken ? 0u : 1u);
}

class HostilePictureInProgram : public ::testing::TestWithParam<HostileInput> {};

TEST_P(HostilePictureInProgram, LogoIsCheckedBeforeAnythingIsWritten) {
    const HostileInput& input = GetParam();
    const fs::path picture = input.make();
    ASSERT_TRUE(fs::exists(picture)) << "fixture not generated: " << picture;
    const fs::path dir = test::scratchDirectory("hostile-logo-" + input.name);
    const QStringList watermark{"--logo", test::q(picture), "--set", "checkImageWatermark=1"};
    const QString clip = test::q(test::healthyClip());

    for (const QStringList& mode : {QStringList{"-o", test::q(dir / "out.mp4")},
                                    QStringList{"--still", "0", "-o", test::q(dir / "out.png")}}) {
        const test::CliRun run = test::runCli(mode + watermark + QStringList{clip}, dir / "runtime");
        ASSERT_TRUE(test::endedOnItsOwn(run));
        const fs::path output = mode.last().toStdString();
        expectVerdict(input, run.status == 0, "--logo");
        if (run.status == 0) {
            EXPECT_TRUE(fs::exists(output));
        } else {
            EXPECT_EQ(run.status, 2) << run.errors;
            EXPECT_NE(run.errors.find("cannot read logo"), std::string::npos) << run.errors;
            EXPECT_FALSE(fs::exists(output));
        }
        EXPECT_EQ(test::entryCount(dir / "runtime"), 0) << "the private directory was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostilePictureInWindow, ::testing::ValuesIn(test::hostilePictures()),
                         test::parameterName);
INSTANTIATE_TEST_SUITE_P(Corpus, HostilePictureInProgram, ::testing::ValuesIn(test::hostilePictures()),
                         test::parameterName);

}  // namespace
}  // namespace tintreel
