#pragma once
// A real editor window offscreen, with scripted dialogs and helpers to load a
// generated clip and wait for background work to settle.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/MainWindow.h"
#include "editor/ViewController.h"
#include "platform/system/TemporaryDirectory.h"
#include "preview/VideoImageView.h"
#include "support/Clips.h"
#include "support/FakeDialogs.h"

namespace tintreel {

// One editor window with its own scratch folder and scripted dialogs; a test
// may hold several (a session left by one is offered to the next).
struct EditorWindow {
    EditorWindow()
        : directory(*TemporaryDirectory::create()),
          window(new ViewController(directory.path(), dialogs), dialogs),
          controller(window.controller()) {}

    const Outlets& outlets() const { return controller->outlets(); }
    template <typename W>
    W* outlet(std::string_view name) const {
        return outlets().get<W>(name);
    }

    // Waits until no refresh, browse or load is running; false on timeout.
    bool settle(int timeoutMs = 20000) {
        return QTest::qWaitFor(
            [this] {
                return !controller->refresh().running && !controller->browse().running &&
                       outlets().find("progressIndicator")->isHidden();
            },
            timeoutMs);
    }

    TemporaryDirectory directory;
    FakeDialogs dialogs;
    MainWindow window;
    ViewController* controller;
};

class EditorFixture : public ::testing::Test, public EditorWindow {
protected:
    EditorFixture() { window.resize(1280, 800); }

    // A 2-second 320x240 clip with moving colours.
    static std::filesystem::path clip() {
        return test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=2 -pix_fmt yuv420p -c:v libx264", "mp4");
    }

    // Loads `path` through the open panel and waits for its frame.
    void load(const std::filesystem::path& path) {
        dialogs.openPaths.push_back(QString::fromStdString(path.string()));
        controller->OnSelectVideo();
        ASSERT_TRUE(settle());
    }

    // The still preview as shown.
    QImage shownImage() const { return *outlet<VideoImageView>("imageViewVideo")->image(); }

    // Types into a text field and ends the edit, as a user would.
    void type(std::string_view field, const QString& text) {
        auto* edit = outlet<QLineEdit>(field);
        edit->setText(text);
        Q_EMIT edit->editingFinished();
    }
};

namespace test {

// The text of the first session file an editor keeps in `folder`; empty
// while there is none (or no folder yet).
inline std::string sessionFileIn(const std::filesystem::path& folder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".session") {
            std::ostringstream text;
            text << std::ifstream(it->path(), std::ios::binary).rdbuf();
            return text.str();
        }
    return {};
}

}  // namespace test
}  // namespace tintreel
