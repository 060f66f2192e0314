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

// Reports a failure in the application's standard error box. The box is opened from a queued
// call, so a report made inside a paint event or a nested loop opens no loop there; while a
// box is open, further reports are passed over instead of stacking boxes.
void reportError(const QString& message);
// Shows the box at once (for the last safety net and for tests that pump no events).
void reportErrorNow(const QString& message);

// Runs a handler and reports what escapes it; an exception must never unwind through Qt's
// event loop. Returns false when the handler failed.
bool guarded(const std::function<void()>& handler) noexcept;

// Number of reports passed over because a box was open (tests read it).
int droppedReports();

} // namespace lmvo
