// Watermark pictures that are not pictures, are empty, cut short or far too
// big, down both roads that take a picture: the window's Choose Picture
// (then a refresh and a render with the image watermark on) and
// tintreel-render's --logo, in movie and still mode.
#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>

#include "hardening/HostileCorpus.h"
#include "hardening/RenderProgram.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::HostileInput;
using test::Verdict;

class HostilePictureInWindow : public EditorFixture, public ::testing::WithParamInterface<HostileInput> {};

TEST_P(HostilePictureInWindow, ChoosingItKeepsTheEditorWhole) {
    const HostileInput& input = GetParam();
    const fs::path picture = input.make();
    ASSERT_TRUE(fs::exists(picture)) << "fixture not generated: " << picture;
    load(test::healthyClip());
    outlet<QCheckBox>("checkImageWatermark")->setChecked(true);

    dialogs.openPaths.push_back(test::qpath(picture));
    controller->OnSelectImage();
    ASSERT_TRUE(settle());
    const bool taken = !controller->logo()->isEmpty();
    EXPECT_FALSE(input.verdict == Verdict::Refused && taken) << "a picture that cannot be used was taken";
    if (taken) {
        EXPECT_TRUE(dialogs.alerts.empty());
        EXPECT_EQ(outlet<QLineEdit>("textFieldImage")->text(), test::qpath(picture.filename()));
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
    const test::ProgramLimits limits{.runtimeDirectory = dir / "runtime"};
    const QStringList watermark{"--logo", test::qpath(picture), "--set", "checkImageWatermark=1"};
    const QString clip = test::qpath(test::healthyClip());

    for (const QStringList& mode : {QStringList{"-o", test::qpath(dir / "out.mp4")},
                                    QStringList{"--still", "0", "-o", test::qpath(dir / "out.png")}}) {
        const test::ProgramRun run = test::runRenderProgram(mode + watermark + QStringList{clip}, limits);
        ASSERT_TRUE(test::endedOnItsOwn(run));
        const fs::path output = mode.last().toStdString();
        EXPECT_FALSE(input.verdict == Verdict::Refused && run.status == 0)
            << "a picture that cannot be used was taken";
        if (run.status == 0) {
            EXPECT_TRUE(fs::exists(output));
        } else {
            EXPECT_EQ(run.status, 2) << run.errors;
            EXPECT_NE(run.errors.find("cannot read logo"), std::string::npos) << run.errors;
            EXPECT_FALSE(fs::exists(output));
        }
        EXPECT_TRUE(test::entriesOf(limits.runtimeDirectory).empty())
            << "the private directory was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostilePictureInWindow, ::testing::ValuesIn(test::hostilePictures()),
                         test::parameterName);
INSTANTIATE_TEST_SUITE_P(Corpus, HostilePictureInProgram, ::testing::ValuesIn(test::hostilePictures()),
                         test::parameterName);

}  // namespace
}  // namespace tintreel
