#pragma once

// Which screen a show fills. Screens are named as the user meets them elsewhere: by a number
// from 1 in the order the window system lists them (Qt's order: the primary screen first, as
// `xrandr --listmonitors` numbers them from 0), or by the output's name ("HDMI-1").

#include <QString>
#include <QStringList>

#include <optional>

class QScreen;

namespace lmvo {

// The position in `names` of the screen `wanted` names: a number from 1, or a name with its
// ASCII case ignored. Nothing when it names none.
[[nodiscard]] std::optional<qsizetype> screenIndex(const QStringList& names, const QString& wanted);

// The connected screens in a line, each by number and name: "1 = HDMI-1, 2 = eDP-1".
[[nodiscard]] QString screenListText(const QStringList& names);
[[nodiscard]] QStringList connectedScreenNames();

// The connected screen `wanted` names, or nullptr.
[[nodiscard]] QScreen* findScreen(const QString& wanted);
// The screen under the pointer, or else the primary one.
[[nodiscard]] QScreen* screenOfPointer();
// How `findScreen` takes `screen`: its number ("2"); empty for a screen no longer connected.
[[nodiscard]] QString screenNumberText(QScreen* screen);

} // namespace lmvo
