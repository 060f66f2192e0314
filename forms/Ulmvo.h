#pragma once

#include "forms/FolderChooser.h"
#include "forms/MediaPlayer.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class Tfrm_lmvo;
}

namespace lmvo {

// One show in the slideshow window, as the play handler drives it: the window is created
// (loading the first picture and arming its timer), given its interval, shown modally, and
// afterwards its timer is stopped and the window destroyed.
class SlideShow {
public:
    virtual ~SlideShow() = default;
    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void ShowModal() = 0;
    virtual void StopTimer() = 0;
};
using SlideShowFactory = std::function<std::unique_ptr<SlideShow>()>;

// The interval edit's bounds and its display: thousands separators, negatives in parentheses.
inline constexpr int MinInterval = 6;
inline constexpr int MaxInterval = 60;
QString formatInterval(int seconds);
// The integer value of a text as the play handler reads it (an optional sign and digits,
// thousands separators allowed); nothing when the text is not an integer.
std::optional<int> parseInterval(const QString& text);

// The parts of the settings window that reach outside it; tests replace them.
struct SettingsServices {
    AudioPlayer* player = nullptr;          // nullptr: the window's own libmpv player
    FolderChooser* chooser = nullptr;       // nullptr: the desktop's folder dialog
    SlideShowFactory makeShow;              // must be set
};

// The settings window: the folders, the interval, looping and the music, and the play button
// that runs the one show of the program's run.
class Tfrm_lmvo : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_lmvo(SettingsServices services, QWidget* parent = nullptr);
    ~Tfrm_lmvo() override;

    MusicPoll& music() { return *poll_; }

    void btn_imagedirClick();
    void btn_musicdirClick();
    void btn_playClick();
    void btn_closeClick();
    void btn_aboutClick();
    void l_infoClick();
    void TimerTimer();

    // Applies the interval edit's range, as leaving the edit does.
    void interupttimeExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    bool musicOn() const;
    void notice(const char* text);
    void runShow();
    void showPictures();

    std::unique_ptr<Ui::Tfrm_lmvo> ui_;
    std::unique_ptr<MediaPlayer> ownPlayer_;
    std::unique_ptr<DialogFolderChooser> ownChooser_;
    AudioPlayer& player_;
    FolderChooser& chooser_;
    SlideShowFactory makeShow_;
    std::unique_ptr<MusicPoll> poll_;
};

} // namespace lmvo
