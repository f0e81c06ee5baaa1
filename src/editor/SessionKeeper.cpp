#include "editor/SessionKeeper.h"

#include <chrono>

#include "platform/system/Log.h"

namespace tintreel {

SessionKeeper::SessionKeeper(Source source, QObject* parent) : QObject(parent), source_(std::move(source)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SessionKeeper::write);
}

SessionKeeper::~SessionKeeper() {
    flush();
}

bool SessionKeeper::start(const std::filesystem::path& folder) {
    Result<SessionStore> store = SessionStore::open(folder);
    if (!store) {
        logLine("The session cannot be kept: " + store.error());
        return false;
    }
    store_ = std::move(*store);
    return true;
}

std::optional<SessionState> SessionKeeper::claimLeftSession() {
    if (!store_) return std::nullopt;
    return store_->claimLeftSession();
}

void SessionKeeper::dropClaimed() {
    if (store_) store_->dropClaimed();
}

void SessionKeeper::changed() {
    if (!store_) return;
    const std::optional<SaveSchedule::Clock::duration> delay = schedule_.changed(SaveSchedule::Clock::now());
    if (delay) timer_.start(std::chrono::ceil<std::chrono::milliseconds>(*delay));
}

void SessionKeeper::flush() {
    if (!store_ || !schedule_.waiting()) return;
    timer_.stop();
    write();
}

void SessionKeeper::end() {
    if (!store_) return;
    timer_.stop();
    store_->discard();
    store_.reset();
}

void SessionKeeper::write() {
    schedule_.wrote(SaveSchedule::Clock::now());
    const SessionState session = source_();
    if (session.videoPath.empty()) {
        if (lastWritten_) store_->discard();
        lastWritten_.reset();
        return;
    }
    if (session == lastWritten_) return;
    const Status saved = store_->save(session);
    if (!saved && !failing_)
        logLine("The session could not be saved: " + store_->sessionFile().string() + ": " + saved.error());
    failing_ = !saved;
    if (saved) lastWritten_ = session;
}

}  // namespace tintreel
