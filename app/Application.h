#pragma once

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace lmvo {

// Installs the program's English texts in `app` when `locale` asks for a language other than
// Chinese; the texts in the source are Chinese, and so is everything under the C/POSIX locale.
// Returns the installed translator (removed again when it is destroyed), or nothing.
std::unique_ptr<QTranslator> installTranslation(QCoreApplication& app, const QLocale& locale = QLocale::system());

// The application object of the program. Its constructor puts the numeric format back to "C"
// after QApplication took it from the environment: libmpv refuses to start under any other.
// It also installs the texts of the desktop's language. Every handler reports its own
// failures; `notify` only catches what would otherwise unwind through Qt's event loop.
class LumivoApplication final : public QApplication {
public:
    LumivoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::unique_ptr<QTranslator> translator_;
};

} // namespace lmvo
