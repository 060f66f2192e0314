#pragma once

#include "music/MusicPoll.h"
#include "scan/FolderScan.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace lmvo {

// One show in the slideshow window, as the play handler drives it: the window is created on
// its screen (loading the first picture and arming its timer), given its interval, shown
// modally, and afterwards its timer is stopped and the window destroyed.
class SlideShow {
public:
    virtual ~SlideShow() = default;
    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void ShowModal() = 0;
    virtual void StopTimer() = 0;
};
// Makes the show for the screen `ShowChoices::screen` names.
using SlideShowFactory = std::function<std::unique_ptr<SlideShow>(const QString& screen)>;

// The interval edit's bounds and its display: thousands separators, negatives in parentheses.
inline constexpr int MinInterval = 6;
inline constexpr int MaxInterval = 60;
QString formatInterval(int seconds);
// The integer value of a text as the play handler reads it (an optional sign and digits,
// thousands separators allowed); nothing when the text is not an integer.
std::optional<int> parseInterval(const QString& text);

// What a show is started with, from the settings window or from the command line. Folders are
// the file system's native bytes.
struct ShowChoices {
    std::string pictureFolder;
    // Scanned even with the music off, as the settings window does; the command line leaves it
    // empty when it names no music folder, and then it is not scanned.
    std::string musicFolder;
    bool music = false;
    bool loop = false;
    Subfolders subfolders = Subfolders::Included;
    bool shuffle = false;
    bool keepProportions = false;
    QString interval = QStringLiteral("6"); // seconds, as the interval edit holds them
    // The screen the show fills, as --screen names it: a number from 1 or an output name;
    // empty: the screen under the pointer.
    QString screen;
};

// A show that did not start because a choice is missing or a folder holds nothing to play:
// the text of the notice box (caption `noticeCaption()`) that tells the user why.
struct Refusal {
    QString text;
    std::string folder; // the folder that holds nothing to play; empty when one is missing
};
QString noticeCaption();

// The play button's work, shared with the command line: the checks, the scans, the shared
// state, the music and the modal show, in that order. Returns the refusal when a check fails
// (nothing has started then); throws when a scan, the music or the show window fails, with
// every folder error naming its folder. The music poll lives as long as the starter.
class ShowStarter {
public:
    // `report` receives the music's failures during the show.
    ShowStarter(AudioPlayer& player, SlideShowFactory makeShow, MusicPoll::Reporter report);

    MusicPoll& music() { return poll_; }
    [[nodiscard]] std::optional<Refusal> play(const ShowChoices& choices);

private:
    void runShow(const ShowChoices& choices);
    void showPictures(const ShowChoices& choices);

    AudioPlayer& player_;
    SlideShowFactory makeShow_;
    MusicPoll poll_;
};

// The text of a folder scan's failure: the reason in plain words and the folder first, the
// scan's own text after them.
QString folderErrorText(const std::string& folder, const ScanError& error);

} // namespace lmvo
