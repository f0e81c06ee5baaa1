#pragma once
// Runs work on a thread pool and hands its result back to the thread of a
// context object (the GUI thread for a widget) as a queued call.
//
// The work receives nothing but what it captured, by value. The pool must
// outlive the tasks it runs: a pool owned by the context waits for them when
// the context is destroyed, before any queued call could reach a dead object.

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <utility>

namespace tintreel {

template <typename Work, typename Done>
void runInBackground(QThreadPool& pool, QObject* context, Work work, Done done) {
    pool.start([context, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            context, [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
            Qt::QueuedConnection);
    });
}

}  // namespace tintreel
