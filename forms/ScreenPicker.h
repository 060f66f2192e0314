#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QComboBox;
class QScreen;
class QWidget;

namespace lmvo {

// The settings window's drop-down of screens. It is shown only while more than one screen is
// connected; it lists them by number and output name, shows the screen that holds the window
// until the user picks another, and follows screens as they are plugged in and unplugged.
class ScreenPicker : public QObject {
public:
    ScreenPicker(QComboBox& box, QWidget& window);

    // The screen the show is to fill, as the command line's --screen takes it: the one picked,
    // or else the one that holds the window.
    [[nodiscard]] QString chosen() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refill(const QScreen* leaving = nullptr);
    void showChoice();
    [[nodiscard]] QScreen* choice() const;

    QComboBox& box_;
    QWidget& window_;
    std::vector<QPointer<QScreen>> listed_; // the box's entries, in its order
    QPointer<QScreen> picked_;              // the user's pick; none: the window's screen
    bool following_ = false;                // the window's moves between screens are watched
};

} // namespace lmvo
