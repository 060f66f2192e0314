#pragma once

#include "music/AudioPlayer.h"

#include <QCoreApplication>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lmvo {

// The background music of a show: `playmusic` starts the file at the music index, and the poll
// `TimerTimer`, run every second by `Timer` while enabled and at once when the player reports
// an end, moves on to the next file (starting over after the last) once the current one is
// within 10 ms of its end. Both run the same check, so a tick and an end report that come
// together move on once. The next file by that rule is queued in the player as soon as a file
// starts, so where the player can it follows without a gap and the index simply moves on.
//
// A query that fails counts as the end of the file, so the poll moves on instead of failing at
// every tick. A file that fails to open during the show is reported once and the next poll
// tries the next file; when every file of the list has failed in a row the music stops, with
// one report for the whole run of failures.
class MusicPoll {
    Q_DECLARE_TR_FUNCTIONS(lmvo::MusicPoll)

public:
    using Reporter = std::function<void(const QString&)>;

    // `files` and `index` are the shared music list and position; both outlive the poll.
    // While enabled, the poll also moves on as soon as the player reports a file's end, so
    // the next file follows without waiting for a tick; the tick stays as the safety net.
    MusicPoll(AudioPlayer& player, const std::vector<std::string>& files, std::int32_t& index,
              Reporter report);
    ~MusicPoll();
    MusicPoll(const MusicPoll&) = delete;
    MusicPoll& operator=(const MusicPoll&) = delete;

    // Closes the current file, opens the one at the index and plays it. Throws MediaError.
    void playmusic();
    void TimerTimer();

    // Enabling a running poll changes nothing (a restart would delay the next tick).
    void setEnabled(bool on);
    [[nodiscard]] bool enabled() const { return timer_.isActive(); }
    [[nodiscard]] QTimer& Timer() { return timer_; }

    static constexpr int PollIntervalMs = 1000;
    static constexpr std::int64_t EndThresholdMs = 10;

private:
    bool nearEnd();
    void playNext();
    void queueNext();
    void onEnd(AudioPlayer::End end);
    [[nodiscard]] std::int32_t after(std::int32_t index) const;

    AudioPlayer& player_;
    const std::vector<std::string>& files_;
    std::int32_t& index_;
    Reporter report_;
    QTimer timer_;
    std::size_t failuresInRow_ = 0;
    std::int32_t queuedIndex_ = 0;
};

} // namespace lmvo
