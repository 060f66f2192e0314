#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct mpv_handle;
struct mpv_event;

namespace lmvo {

class MidiStreams;

// A failure of the audio player that the caller reports (a file that cannot be opened, a
// query without an open file).
class MediaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operations the background music needs of an audio player. Times are in milliseconds.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;

    // Closes a file still open, then opens `path` (native bytes) positioned at its start,
    // not playing. Throws MediaError with the backend's reason when the file cannot be played.
    virtual void open(const std::string& path) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // Plays from the current position; a file that stands at its end starts over.
    virtual void play() = 0;
    // Pauses at the current position.
    virtual void stop() = 0;
    // Both throw MediaError when no file is open or the value is not known.
    [[nodiscard]] virtual std::int64_t length() = 0;
    [[nodiscard]] virtual std::int64_t position() = 0;

    // Asks for `path` to follow the open file without a gap when it has played to its end,
    // replacing what was queued before; opening a file forgets it. A player may have no such
    // thing (this default): its end is then reported as Finished and the caller opens the next
    // file. A file that cannot be queued is not queued: opened in its turn, it fails there.
    virtual void queue(const std::string& path) { (void)path; }

    enum class End {
        Finished, // the file has played to its end and stands there
        Followed, // the queued file has taken its place and plays: it is the open file now
    };
    // `handler` runs from the event loop each time a playing file has reached its end (not
    // when it is paused, closed or replaced). An empty handler removes it.
    void setEndHandler(std::function<void(End)> handler) { ended_ = std::move(handler); }

protected:
    void notifyEnd(End end) const
    {
        if (auto handler = ended_) // a copy: the handler may replace itself
            handler(end);
    }

private:
    std::function<void(End)> ended_;
};

// The audio player on libmpv: audio only (no video, no window), the system's default audio
// output, and the silent null output where there is no sound device or where the environment
// variable LMVO_AUDIO_OUTPUT is "null" (tests and CI use that). A finished file stays open at
// its end, so its position equals its length until it is played again.
//
// MIDI files (by extension) are synthesised with FluidSynth and a General MIDI SoundFont and
// served to libmpv as WAV streams (see MidiStreams), so they play, pause, end and report
// their length and position exactly like any other file.
//
// A queued file goes into libmpv's playlist behind the open one, and libmpv starts it while
// the open file's last half second is still being heard: no silence between the two.
//
// libmpv's events reach the thread that made the player through a queued call, so the end of
// a file is reported by the event loop without anyone polling. libmpv is started on the first
// open, so a player that is never used costs nothing. Make and use the player on the main
// thread, and destroy it before the application object.
class MediaPlayer final : public AudioPlayer {
public:
    MediaPlayer();
    ~MediaPlayer() override;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    void open(const std::string& path) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return opened_; }
    void play() override;
    void stop() override;
    [[nodiscard]] std::int64_t length() override;
    [[nodiscard]] std::int64_t position() override;
    void queue(const std::string& path) override;

    [[nodiscard]] const std::string& fileName() const { return fileName_; }
    // The libmpv error code of the last command (0 when it succeeded) and its text; failures
    // of play and stop are only kept here.
    [[nodiscard]] int error() const { return error_; }
    [[nodiscard]] std::string errorText() const;

    // How long open waits for the file to load or fail before it gives up.
    static constexpr int OpenTimeoutMs = 5000;

private:
    static void wakeUp(void* self);
    void onWakeUp();
    void handleEvent(const mpv_event& event);
    std::string prepareMidi(const std::string& path);
    mpv_handle* handle();
    int keep(int code);
    bool readFlag(const char* property);
    bool atEnd();
    void onEndFile(const void* data);
    void forgetQueue();
    void setGapless(bool on);
    void awaitFollower();
    void awaitEndOf(std::int64_t entry);
    double readSeconds(const char* property);
    void waitForLoad(std::int64_t deadlineMs);
    bool waitForEvent(int eventId, int timeoutMs);
    void drainEvents();

    std::unique_ptr<MidiStreams> midi_; // outlives libmpv, which reads from it
    mpv_handle* mpv_ = nullptr;
    QObject events_;                   // receives libmpv's wake-ups on the player's thread
    std::atomic<bool> wakeUpQueued_{false};
    std::string fileName_;
    std::int64_t entry_ = -1;          // libmpv's playlist entry of the open file
    bool opened_ = false;
    bool playing_ = false;             // play was asked for and the end not reported yet
    bool finished_ = false;            // the end was seen and is to be reported
    std::string queued_;               // the file queued behind the open one, if any
    std::int64_t following_ = -1;      // the entry of the queued file while libmpv loads it
    bool followed_ = false;            // the queued file took over; to be reported
    int error_ = 0;
};

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
