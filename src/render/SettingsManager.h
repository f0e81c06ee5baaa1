#pragma once
// SettingsManager: the process-wide object that carries the render's cancel
// flag. Created on first use (thread-safe); lives until the process ends.
//
// Threads: the GUI thread sets and clears the flag, a render's passes read it
// on the render thread; it is atomic so neither needs a lock.

#include <atomic>

namespace tintreel {

class SettingsManager {
public:
    static SettingsManager& shared();

    SettingsManager(const SettingsManager&) = delete;
    SettingsManager& operator=(const SettingsManager&) = delete;

    std::atomic<bool> generatePreviewCanceledByUser{false};

private:
    SettingsManager() = default;
};

}  // namespace tintreel
