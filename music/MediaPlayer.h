#pragma once

#include "music/AudioPlayer.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct mpv_handle;
struct mpv_event;

namespace lmvo {

class MidiStreams;

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

} // namespace lmvo
