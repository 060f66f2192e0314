#pragma once

#include "show/ShowStarter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

namespace lmvo {

// Exit codes of a start from the command line.
inline constexpr int ExitShown = 0;      // the show ran, or help or the version was printed
inline constexpr int ExitRefused = 1;    // a check or a folder failed: its box was shown
inline constexpr int ExitBadArgument = 2; // the command line itself is wrong

// The arguments as the file system gave them, in strings the parser can read: valid UTF-8
// reads as itself, and every other byte becomes a lone surrogate U+DC80..U+DCFF, so a folder
// name that is not UTF-8 survives the parser and `nativeBytes` gives its bytes back.
QString decodeArgument(const QByteArray& bytes);
QStringList argumentsOf(int argc, char** argv);
std::string nativeBytes(const QString& argument);

// What the command line asks for.
struct CommandLine {
    enum class Action {
        Settings,    // no arguments: the settings window, as always
        Show,        // a folder: the show at once, without the settings window
        Help,
        Version,
        BadArgument, // `error` says why, in one line
    };
    Action action = Action::Settings;
    ShowChoices choices;
    QString error;

    [[nodiscard]] bool answeredInTerminal() const { return action != Action::Settings && action != Action::Show; }
};

// The arguments without the options every Qt program takes (-platform NAME, -style NAME,
// -session ID, -display NAME, ...), which are the application object's.
QStringList withoutQtOptions(const QStringList& arguments);

// Reads the arguments, the program's name first; Qt's own options are passed over. Needs no
// application object and starts nothing.
CommandLine parseCommandLine(const QStringList& arguments);

// The line of a bad argument when the command line names a screen that is not connected,
// with the list of those that are (needs the application object).
[[nodiscard]] std::optional<QString> unknownScreen(const ShowChoices& choices);

// The texts of --help and --version (the help needs the application object).
QString helpText();
QString versionText();

// Prints the answer of a command line that needs no window: help or the version on standard
// output, a bad argument's line on standard error. Returns the exit code.
int answerInTerminal(const CommandLine& line);

// Runs the command line's show through the play button's starter. A check that fails shows
// the settings window's notice box, a folder or show that fails shows the standard error box,
// and either also goes to `printLine` (standard error) for a user in a terminal.
using LinePrinter = std::function<void(const QString&)>;
int runCommandLineShow(ShowStarter& starter, const ShowChoices& choices, const LinePrinter& printLine);

// Writes "lmvo: <text>" on standard error.
void printErrorLine(const QString& text);

} // namespace lmvo
