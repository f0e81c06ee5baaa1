#include <gtest/gtest.h>

#include "settings/SettingsHistory.h"

namespace tintreel {
namespace {

// Records "r1", "r2", ... as the current settings.
struct Recorder {
    int next = 1;
    int calls = 0;
    SettingsHistory::RecordSource source() {
        return [this] {
            ++calls;
            return "r" + std::to_string(next++);
        };
    }
};

TEST(SettingsHistory, StartsEmptyAndResetRecordsOneEntryThatTheNextSaveSkips) {
    SettingsHistory history;
    EXPECT_EQ(history.currenState, -1);
    EXPECT_TRUE(history.needToSaveState);
    EXPECT_EQ(history.currentRecord(), nullptr);

    history.reset("r0");
    EXPECT_EQ(history.count(), 1);
    EXPECT_EQ(history.currenState, 0);
    EXPECT_FALSE(history.needToSaveState);

    Recorder recorder;
    history.saveState(recorder.source());
    EXPECT_EQ(recorder.calls, 0);  // skipped, and the record was not even built
    EXPECT_TRUE(history.needToSaveState);
    history.saveState(recorder.source());
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(*history.currentRecord(), "r1");
}

TEST(SettingsHistory, KeepsFiftyOneRecordsAtIndexFifty) {
    SettingsHistory history;
    history.reset("r0");
    history.needToSaveState = true;
    Recorder recorder;
    for (int i = 0; i < 60; ++i) history.saveState(recorder.source());
    EXPECT_EQ(history.count(), 51);
    EXPECT_EQ(history.currenState, 50);
    EXPECT_EQ(history.stateImagesPath.front(), "r10");  // r0 ... r9 dropped
    EXPECT_EQ(history.stateImagesPath.back(), "r60");
    EXPECT_TRUE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
}

TEST(SettingsHistory, UndoRedoAndRecordingAfterUndoCutsTheRedoBranch) {
    SettingsHistory history;
    history.reset("r0");
    history.needToSaveState = true;
    Recorder recorder;
    for (int i = 0; i < 3; ++i) history.saveState(recorder.source());  // r0 r1 r2 r3

    EXPECT_EQ(history.undo(), "r2");
    EXPECT_EQ(history.undo(), "r1");
    EXPECT_TRUE(history.canRedo());
    EXPECT_EQ(history.redo(), "r2");
    history.saveState(recorder.source());  // the refresh showing the redo: skipped
    EXPECT_EQ(history.count(), 4);
    EXPECT_EQ(history.undo(), "r1");
    history.saveState(recorder.source());  // skipped again
    history.saveState(recorder.source());  // a new edit: cuts r2 and r3
    EXPECT_EQ(history.stateImagesPath, (std::vector<std::string>{"r0", "r1", "r4"}));
    EXPECT_EQ(history.currenState, 2);
    EXPECT_FALSE(history.canRedo());

    SettingsHistory fresh;
    fresh.reset("only");
    EXPECT_FALSE(fresh.undo().has_value());
    EXPECT_FALSE(fresh.redo().has_value());
}

}  // namespace
}  // namespace tintreel
