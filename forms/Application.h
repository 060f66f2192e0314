#pragma once

#include <QApplication>

namespace lmvo {

// The application object of the program. Its constructor puts the numeric format back to "C"
// after QApplication took it from the environment: libmpv refuses to start under any other.
// Every handler reports its own failures; `notify` only catches what would otherwise unwind
// through Qt's event loop.
class LumivoApplication final : public QApplication {
public:
    LumivoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace lmvo
