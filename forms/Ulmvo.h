#pragma once

#include "forms/FolderChooser.h"
#include "forms/ScreenPicker.h"
#include "music/MediaPlayer.h"
#include "music/MusicPoll.h"
#include "show/ShowStarter.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class Tfrm_lmvo;
}

namespace lmvo {

// The parts of the settings window that reach outside it; tests replace them.
struct SettingsServices {
    AudioPlayer* player = nullptr;          // nullptr: the window's own libmpv player
    FolderChooser* chooser = nullptr;       // nullptr: the desktop's folder dialog
    SlideShowFactory makeShow;              // must be set
};

// The settings window: the folders, the interval, looping, the music and (with more than one
// screen connected) the screen of the show, and the play button that runs the one show of the
// program's run.
class Tfrm_lmvo : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_lmvo(SettingsServices services, QWidget* parent = nullptr);
    ~Tfrm_lmvo() override;

    MusicPoll& music() { return starter_->music(); }

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
    void notice(const QString& text);
    ShowChoices choices() const;

    std::unique_ptr<Ui::Tfrm_lmvo> ui_;
    std::unique_ptr<MediaPlayer> ownPlayer_;
    std::unique_ptr<DialogFolderChooser> ownChooser_;
    AudioPlayer& player_;
    FolderChooser& chooser_;
    std::unique_ptr<ShowStarter> starter_;
    ScreenPicker* screens_ = nullptr;
};

} // namespace lmvo
