#pragma once
// SettingsHistory: the bounded list of settings records the user has seen
// applied, the base of undo and redo and of the text fields' "did anything
// change" test.
//
// At most numberOfStates + 1 records are kept (51): once the current index
// reaches the cap, each new record drops the oldest. Recording after an undo
// cuts the redo branch. `needToSaveState` false makes exactly one saveState
// skip, so the refresh that shows a load, a new frame or a restored record
// records nothing.
//
// Not thread-safe: the editor uses it on the GUI thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tintreel {

class SettingsHistory {
public:
    // Builds the record of the settings as they are now; called only when a
    // record is really appended.
    using RecordSource = std::function<std::string()>;

    // Empties the list, records `first` as its only entry, index 0, and makes
    // the next saveState skip.
    void reset(std::string first);
    // The recording step after a shown refresh.
    void saveState(const RecordSource& currentRecord);

    // The current record, or nothing before the first reset.
    const std::string* currentRecord() const;
    bool canUndo() const { return currenState > 0; }
    bool canRedo() const { return currenState >= 0 && currenState + 1 < count(); }
    // Moves to the previous / next record and returns it; the following
    // saveState is skipped so showing it records nothing.
    std::optional<std::string> undo();
    std::optional<std::string> redo();

    std::int64_t count() const { return static_cast<std::int64_t>(stateImagesPath.size()); }

    std::vector<std::string> stateImagesPath;  // oldest first
    std::int64_t numberOfStates = 50;          // the cap of the current index
    std::int64_t currenState = -1;             // index of the current record
    bool needToSaveState = true;
};

}  // namespace tintreel
