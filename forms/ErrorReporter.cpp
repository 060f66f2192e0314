#include "forms/ErrorReporter.h"

#include "forms/PictureErrorText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <vector>

namespace lmvo {

namespace {

class RealMessageBoxes final : public MessageBoxes {
public:
    void show(QWidget* owner, const MessageBoxRequest& box) override
    {
        QMessageBox mb(box.icon == BoxIcon::Stop ? QMessageBox::Critical : QMessageBox::Information,
                       box.caption, box.text, QMessageBox::Ok, owner);
        mb.setWindowModality(Qt::ApplicationModal);
        mb.exec();
    }
};

RealMessageBoxes realBoxes;
MessageBoxes* currentBoxes = &realBoxes;

// A box lists at most this many reports; the rest of a burst is counted.
constexpr qsizetype ListedReports = 10;

struct Waiter {
    QPointer<QObject> context;
    std::function<void()> then;
};

// The reports waiting for a box, in the order they were made. Used on the main thread only.
struct ReportQueue {
    std::deque<QString> reports;
    std::vector<Waiter> waiters;
    bool boxOpen = false;
    bool turnQueued = false;
    int heldBack = 0;
};

ReportQueue& queue()
{
    static ReportQueue q;
    return q;
}

// The text of the next box: the oldest report alone, or a burst listed up to the cap.
QString nextBoxText(std::deque<QString>& reports)
{
    QStringList listed;
    while (!reports.empty() && listed.size() < ListedReports) {
        listed << errorBoxText(reports.front());
        reports.pop_front();
    }
    const auto more = qsizetype(reports.size());
    reports.clear();
    if (more > 0)
        listed << QCoreApplication::translate("lmvo::ErrorReporter", "另有 %n 个错误未列出。", nullptr, int(more));
    return listed.join(QStringLiteral("\n\n"));
}

void callWaiters()
{
    std::vector<Waiter> waiters = std::move(queue().waiters);
    queue().waiters.clear();
    for (Waiter& w : waiters)
        if (w.context)
            QMetaObject::invokeMethod(w.context, std::move(w.then), Qt::QueuedConnection);
}

// Shows the queued reports, box after box, until none waits.
void showQueuedReports()
{
    ReportQueue& q = queue();
    if (q.boxOpen || q.heldBack > 0)
        return; // the open box's turn goes on once it is dismissed; a holder queues a turn
    while (!q.reports.empty()) {
        const QString text = nextBoxText(q.reports);
        q.boxOpen = true;
        messageBoxes().show(boxOwner(), {text, applicationTitle(), BoxIcon::Stop});
        q.boxOpen = false;
    }
    callWaiters();
}

void queueTurn()
{
    ReportQueue& q = queue();
    if (q.turnQueued || q.boxOpen || !QCoreApplication::instance())
        return;
    q.turnQueued = true;
    QTimer::singleShot(0, qApp, [] {
        queue().turnQueued = false;
        showQueuedReports();
    });
}

} // namespace

MessageBoxes& messageBoxes() { return *currentBoxes; }

void setMessageBoxes(MessageBoxes* boxes) { currentBoxes = boxes ? boxes : &realBoxes; }

QWidget* boxOwner()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QString applicationTitle()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    name = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    return name.left(1) + name.mid(1).toLower();
}

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

QString unknownErrorText() { return QCoreApplication::translate("lmvo::ErrorReporter", "Unknown error"); }

void reportErrorNow(const QString& message)
{
    queue().reports.push_back(message);
    showQueuedReports();
}

void reportError(const QString& message)
{
    queue().reports.push_back(message);
    queueTurn();
}

void showPendingReports() { showQueuedReports(); }

bool reportsPending()
{
    const ReportQueue& q = queue();
    return q.boxOpen || !q.reports.empty();
}

void whenReportsShown(QObject* context, std::function<void()> then)
{
    if (!reportsPending()) {
        then();
        return;
    }
    queue().waiters.push_back({context, std::move(then)});
    queueTurn();
}

BoxesHeldBack::BoxesHeldBack() { ++queue().heldBack; }

BoxesHeldBack::~BoxesHeldBack()
{
    if (--queue().heldBack == 0 && reportsPending())
        queueTurn();
}

bool guarded(const std::function<void()>& handler) noexcept
{
    try {
        handler();
        return true;
    } catch (const PictureError& e) {
        reportError(pictureErrorText(e));
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(unknownErrorText());
    }
    return false;
}

} // namespace lmvo
