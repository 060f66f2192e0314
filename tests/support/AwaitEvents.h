#pragma once

// Waiting on the event loop for something a player or a window reports, with a generous bound
// so that a fault ends the wait instead of hanging the run.

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

namespace lmvo {

// Runs the event loop until `done` holds, waking for each event, or until `boundMs` pass.
// Says whether `done` holds.
template <typename Done>
bool awaitEvents(Done done, int boundMs = 8000)
{
    bool late = false;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [&] { late = true; });
    bound.start(boundMs);
    while (!done() && !late)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace lmvo
