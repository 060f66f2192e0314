#include "forms/ErrorReporter.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>

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
bool boxOpen = false;
bool boxQueued = false;
int dropped = 0;

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

void reportErrorNow(const QString& message)
{
    if (boxOpen) {
        ++dropped;
        return;
    }
    boxOpen = true;
    messageBoxes().show(boxOwner(), {errorBoxText(message), applicationTitle(), BoxIcon::Stop});
    boxOpen = false;
}

void reportError(const QString& message)
{
    if (boxOpen || boxQueued || !QCoreApplication::instance()) {
        ++dropped;
        return;
    }
    boxQueued = true;
    QTimer::singleShot(0, qApp, [message] {
        boxQueued = false;
        reportErrorNow(message);
    });
}

bool guarded(const std::function<void()>& handler) noexcept
{
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
    return false;
}

int droppedReports() { return dropped; }

} // namespace lmvo
