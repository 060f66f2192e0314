#include "forms/ScreenChoice.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

namespace lmvo {

std::optional<qsizetype> screenIndex(const QStringList& names, const QString& wanted)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,9}$"));
    if (number.match(wanted).hasMatch()) {
        const qsizetype n = wanted.toLongLong();
        return n >= 1 && n <= names.size() ? std::optional(n - 1) : std::nullopt;
    }
    // Output names are ASCII: "hdmi-1" typed means HDMI-1.
    for (qsizetype i = 0; i < names.size(); ++i)
        if (!wanted.isEmpty() && names[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return std::nullopt;
}

QString screenListText(const QStringList& names)
{
    QStringList entries;
    for (qsizetype i = 0; i < names.size(); ++i)
        entries << QStringLiteral("%1 = %2").arg(i + 1).arg(names[i]);
    return entries.join(QStringLiteral(", "));
}

QStringList connectedScreenNames()
{
    QStringList names;
    for (const QScreen* s : QGuiApplication::screens())
        names << s->name();
    return names;
}

QScreen* findScreen(const QString& wanted)
{
    const std::optional<qsizetype> index = screenIndex(connectedScreenNames(), wanted);
    return index ? QGuiApplication::screens().at(*index) : nullptr;
}

QScreen* screenOfPointer()
{
    if (QScreen* s = QGuiApplication::screenAt(QCursor::pos()))
        return s;
    return QGuiApplication::primaryScreen();
}

QString screenNumberText(QScreen* screen)
{
    const qsizetype index = QGuiApplication::screens().indexOf(screen);
    return index < 0 ? QString() : QString::number(index + 1);
}

} // namespace lmvo
