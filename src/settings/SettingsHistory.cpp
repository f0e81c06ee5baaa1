#include "settings/SettingsHistory.h"

namespace tintreel {

void SettingsHistory::reset(std::string first) {
    stateImagesPath.clear();
    stateImagesPath.push_back(std::move(first));
    currenState = 0;
    needToSaveState = false;
}

void SettingsHistory::saveState(const RecordSource& currentRecord) {
    if (!needToSaveState) {
        needToSaveState = true;
        return;
    }
    const std::int64_t c = currenState;
    if (c >= numberOfStates) {
        stateImagesPath.push_back(currentRecord());
        stateImagesPath.erase(stateImagesPath.begin());
        return;
    }
    if (c < count() - 1) stateImagesPath.resize(static_cast<std::size_t>(c + 1));
    stateImagesPath.push_back(currentRecord());
    currenState = c + 1;
}

const std::string* SettingsHistory::currentRecord() const {
    if (currenState < 0 || currenState >= count()) return nullptr;
    return &stateImagesPath[static_cast<std::size_t>(currenState)];
}

std::optional<std::string> SettingsHistory::undo() {
    if (!canUndo()) return std::nullopt;
    --currenState;
    needToSaveState = false;
    return *currentRecord();
}

std::optional<std::string> SettingsHistory::redo() {
    if (!canRedo()) return std::nullopt;
    ++currenState;
    needToSaveState = false;
    return *currentRecord();
}

}  // namespace tintreel
