#pragma once
// Runs work on a thread pool and hands its result back to the thread of a
// context object (the GUI thread for a widget) as a queued call.
//
// The work receives nothing but what it captured, by value (plain values:
// Qt's implicitly shared types count their references where ThreadSanitizer
// cannot see it). The pool must outlive the tasks it runs: a pool owned by
// the context waits for them when the context is destroyed, before any
// queued call could reach a dead object.

#include "platform/system/HandOver.h"

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <utility>

namespace tintreel {

// Calls `call` on the thread of `context` from its event loop, after
// everything this thread did before posting it.
template <typename Call>
void postToThreadOf(QObject* context, Call call) {
    QMetaObject::invokeMethod(context, HandedOver(std::move(call)), Qt::QueuedConnection);
}

template <typename Work, typename Done>
void runInBackground(QThreadPool& pool, QObject* context, Work work, Done done) {
    pool.start(HandedOver([context, work = std::move(work), done = std::move(done)]() mutable {
        // The work and what it captured end here, before the hand-over.
        auto result = Work(std::move(work))();
        postToThreadOf(context, [done = std::move(done), result = std::move(result)]() mutable {
            done(std::move(result));
        });
    }));
}

}  // namespace tintreel
