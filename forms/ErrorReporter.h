#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <utility>

namespace lmvo {

enum class BoxIcon { Information, Stop };

// One message box as the user would see it.
struct MessageBoxRequest {
    QString text;
    QString caption;
    BoxIcon icon = BoxIcon::Stop;
};

// Shows modal message boxes with an OK button. Tests install their own to read what would be
// shown; real boxes would block an offscreen test for ever.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns when the box has been dismissed.
    virtual void show(QWidget* owner, const MessageBoxRequest& box) = 0;
};

// The presenter in use; `setMessageBoxes(nullptr)` restores the real one.
MessageBoxes& messageBoxes();
void setMessageBoxes(MessageBoxes* boxes);

// The owner for a box that must be seen: the active modal window, else the active window.
// A box owned by a window lying under the full-screen show would be hidden beneath it.
QWidget* boxOwner();

// The caption of the standard error box: the program file's name without its folder and
// without everything from its first dot, every character after the first in lower case.
QString applicationTitle();
// The text of the standard error box: a "." is appended when the last character sorts
// after ".".
QString errorBoxText(const QString& message);
// The report of a failure that carries no text of its own.
QString unknownErrorText();

// Reports a failure in the application's standard error box. Reports are queued, never passed
// over: boxes are opened from a queued call, one at a time, each after the previous one has been
// dismissed, so a report made inside a paint event or a nested loop opens no loop there. Reports
// that arrive while a box is open are gathered into the next box, which lists the first few and
// counts the rest.
void reportError(const QString& message);
// Queues the report and shows what is queued at once, unless a box is already open (then the
// open box's turn shows it after it).
void reportErrorNow(const QString& message);
// Shows every report still queued, box after box, before it returns: for the end of a modal
// loop or of the program, after which no queued turn would show them.
void showPendingReports();
// Whether reports wait for their box or a box is open.
[[nodiscard]] bool reportsPending();
// Calls `then` once no report waits and no box is open: at once when that is so already, else
// from a queued call after the last box has been dismissed, and not at all when `context` has
// gone by then. A window that ends calls this first, so its last reports are seen over it.
void whenReportsShown(QObject* context, std::function<void()> then);

// Holds boxes back while it lives: reports made meanwhile wait, and their box opens from a queued
// call once the last holder has gone. A transition playing in-line holds them, so that a box
// never stops a picture half-way in until it is dismissed.
class BoxesHeldBack {
public:
    BoxesHeldBack();
    ~BoxesHeldBack();
    BoxesHeldBack(const BoxesHeldBack&) = delete;
    BoxesHeldBack& operator=(const BoxesHeldBack&) = delete;
};

// Runs a handler and reports what escapes it; an exception must never unwind through Qt's
// event loop. Returns false when the handler failed.
bool guarded(const std::function<void()>& handler) noexcept;

} // namespace lmvo
