#pragma once
// A real editor window offscreen, with scripted dialogs and helpers to load a
// generated clip and wait for background work to settle.

#include <gtest/gtest.h>

#include <QTest>

#include "app/MainWindow.h"
#include "editor/ViewController.h"
#include "platform/system/TemporaryDirectory.h"
#include "support/Clips.h"
#include "support/FakeDialogs.h"

namespace tintreel {

class EditorFixture : public ::testing::Test {
protected:
    EditorFixture()
        : directory(*TemporaryDirectory::create()),
          window(new ViewController(directory.path(), dialogs), dialogs),
          controller(window.controller()) {
        window.resize(1280, 800);
    }

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

    TemporaryDirectory directory;
    FakeDialogs dialogs;
    MainWindow window;
    ViewController* controller;
};

}  // namespace tintreel
