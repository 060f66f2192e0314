#include "music/MediaPlayer.h"

#include "base/Clock.h"
#include "music/MidiStream.h"

#include <mpv/client.h>

#include <QCoreApplication>
#include <QString>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace lmvo {

namespace {

// Options of an audio-only player that never opens a window, never runs helper programs or
// scripts and keeps a finished file open at its end.
constexpr const char* PlayerOptions[][2] = {
    {"vid", "no"},
    {"audio-display", "no"},
    {"keep-open", "yes"},
    {"idle", "yes"},
    {"pause", "yes"},
    {"ytdl", "no"},
    {"load-scripts", "no"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"audio-fallback-to-null", "yes"},
    {"gapless-audio", "no"}, // see setGapless
    // No read-ahead beyond the demuxer's second: a synthesised song is made as it is read, and
    // a cache would hold minutes of it in memory.
    {"cache", "no"},
};

// The reply ids of the observed end-of-file and pause flags.
constexpr std::uint64_t EofObserver = 1;
constexpr std::uint64_t PauseObserver = 2;

// A synthesised song is known to be WAV: no probing through libmpv's other demuxers.
constexpr const char* MidiLoadOptions = "demuxer=lavf,demuxer-lavf-format=wav";

// The player's texts, in one translation context wherever they are made.
struct MediaText {
    Q_DECLARE_TR_FUNCTIONS(lmvo::MediaPlayer)
};

// libmpv refuses to start unless numbers are formatted the C way; say so instead of a bare
// failure, since a desktop locale is the usual cause.
QString createFailureText()
{
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (!numeric || std::strcmp(numeric, "C") == 0)
        return MediaText::tr("The audio player could not be started");
    const QString detail = QStringLiteral("libmpv needs the numeric locale \"C\", not \"%1\"");
    return MediaText::tr("The audio player could not be started: %1").arg(detail.arg(QString::fromLocal8Bit(numeric)));
}

QString midiReason(const MidiError& e)
{
    switch (e.problem()) {
    case MidiProblem::Unreadable: return QString::fromLocal8Bit(e.what());
    case MidiProblem::TooLarge:
        return MediaText::tr("the file is too large for a MIDI song (more than %1 MB)")
            .arg(MidiLimits::MaxFileBytes >> 20);
    case MidiProblem::NotMidi: return MediaText::tr("it is not a Standard MIDI File");
    case MidiProblem::UnsupportedFormat:
        return MediaText::tr("MIDI files of format %1 are not supported").arg(QString::fromLatin1(e.what()));
    case MidiProblem::BadTiming: return MediaText::tr("the timing in its header is invalid");
    case MidiProblem::TooLong:
        return MediaText::tr("the song would last longer than %1 hours").arg(MidiLimits::MaxSongUs / 3600000000);
    case MidiProblem::NoNotes: return MediaText::tr("the MIDI file has no notes to play");
    }
    return {};
}

QString synthReason(const SynthError& e)
{
    const QString detail = QString::fromLocal8Bit(e.what());
    const QString reason = QString::fromLocal8Bit(e.reason().c_str());
    switch (e.kind()) {
    case SynthError::Kind::NoSoundFont:
        return MediaText::tr("no General MIDI SoundFont is installed (looked for %1); install one, such as "
                  "the package fluid-soundfont-gm, or name one in the environment variable "
                  "LMVO_SOUNDFONT").arg(detail);
    case SynthError::Kind::BadSoundFont:
        return MediaText::tr("the SoundFont \"%1\" cannot be loaded (%2)").arg(detail, reason);
    case SynthError::Kind::Failed: return MediaText::tr("the MIDI synthesiser cannot be started (%1)").arg(reason);
    }
    return {};
}

} // namespace

MediaPlayer::MediaPlayer() : midi_(std::make_unique<MidiStreams>()) {}

MediaPlayer::~MediaPlayer()
{
    if (!mpv_)
        return;
    // Once this returns no wake-up runs or starts; the queued ones go with events_.
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_terminate_destroy(mpv_);
}

// Called on any of libmpv's threads, where no libmpv function may be called: only queue one
// call to the player's thread, however many events arrive before it runs.
void MediaPlayer::wakeUp(void* self)
{
    auto* player = static_cast<MediaPlayer*>(self);
    if (!player->wakeUpQueued_.exchange(true))
        QMetaObject::invokeMethod(&player->events_, [player] { player->onWakeUp(); }, Qt::QueuedConnection);
}

// The handler may open another file, which resets what is reported here: each report is
// checked again after the one before it.
void MediaPlayer::onWakeUp()
{
    wakeUpQueued_ = false;
    drainEvents();
    if (std::exchange(followed_, false))
        notifyEnd(End::Followed);
    if (std::exchange(finished_, false)) {
        playing_ = false;
        notifyEnd(End::Finished);
    }
}

// Events are read wherever the player waits or asks (open, play, the queries); each one
// passes here, and only the wake-up reports, so no query calls the handler.
void MediaPlayer::handleEvent(const mpv_event& event)
{
    if (!opened_)
        return;
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE:
        if (playing_ && (event.reply_userdata == EofObserver || event.reply_userdata == PauseObserver)
            && atEnd())
            finished_ = true;
        break;
    case MPV_EVENT_START_FILE: {
        const auto id = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        if (!queued_.empty() && id != entry_)
            following_ = id;
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        if (following_ >= 0) {
            entry_ = std::exchange(following_, -1);
            fileName_ = std::exchange(queued_, std::string());
            followed_ = true;
        }
        break;
    case MPV_EVENT_END_FILE: onEndFile(event.data); break;
    default: break;
    }
}

// An entry that fails part-way, or a queued one that fails to load, leaves libmpv with nothing
// to play: that is the end of the open file, and nothing stays open.
void MediaPlayer::onEndFile(const void* data)
{
    const auto* end = static_cast<const mpv_event_end_file*>(data);
    if (end->reason != MPV_END_FILE_REASON_ERROR
        || (end->playlist_entry_id != entry_ && end->playlist_entry_id != following_))
        return;
    if (end->playlist_entry_id == following_ || queued_.empty()) {
        opened_ = false;
        following_ = -1;
        queued_.clear();
        finished_ = playing_;
    }
}

mpv_handle* MediaPlayer::handle()
{
    if (mpv_)
        return mpv_;
    mpv_handle* h = mpv_create();
    if (!h)
        throw MediaError(createFailureText().toStdString());
    for (const auto& option : PlayerOptions)
        mpv_set_option_string(h, option[0], option[1]);
    if (const char* output = std::getenv("LMVO_AUDIO_OUTPUT"); output && *output)
        mpv_set_option_string(h, "ao", output);
    int code = mpv_initialize(h);
    if (code >= 0)
        code = midi_->registerWith(h);
    if (code < 0) {
        mpv_terminate_destroy(h);
        throw MediaError(MediaText::tr("The audio player could not be started: %1")
                             .arg(QString::fromUtf8(mpv_error_string(code)))
                             .toStdString());
    }
    mpv_observe_property(h, EofObserver, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(h, PauseObserver, "pause", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(h, wakeUp, this);
    mpv_ = h;
    return mpv_;
}

int MediaPlayer::keep(int code)
{
    error_ = code < 0 ? code : 0;
    return code;
}

std::string MediaPlayer::errorText() const
{
    return error_ == 0 ? std::string() : std::string(mpv_error_string(error_));
}

void MediaPlayer::drainEvents()
{
    if (!mpv_)
        return;
    for (const mpv_event* event; (event = mpv_wait_event(mpv_, 0))->event_id != MPV_EVENT_NONE;)
        handleEvent(*event);
}

bool MediaPlayer::waitForEvent(int eventId, int timeoutMs)
{
    const std::int64_t deadline = nowMs() + timeoutMs;
    for (std::int64_t left = timeoutMs; left > 0; left = deadline - nowMs()) {
        if (mpv_wait_event(mpv_, static_cast<double>(left) / 1000.0)->event_id == eventId)
            return true;
    }
    return false;
}

std::string MediaPlayer::prepareMidi(const std::string& path)
{
    QString reason;
    try {
        return midi_->prepare(path, true);
    } catch (const MidiError& e) {
        reason = midiReason(e);
    } catch (const SynthError& e) {
        reason = synthReason(e);
    }
    error_ = MPV_ERROR_LOADING_FAILED;
    throw MediaError(MediaText::tr("Cannot open \"%1\": %2").arg(QString::fromLocal8Bit(path.c_str()), reason).toStdString());
}

void MediaPlayer::open(const std::string& path)
{
    close();
    fileName_ = path;
    mpv_handle* h = handle();
    const bool midi = MidiStreams::isMidi(path);
    const std::string url = midi ? prepareMidi(path) : path;
    drainEvents();
    forgetQueue();
    setGapless(false);
    mpv_set_property_string(h, "pause", "yes");
    const char* command[] = {"loadfile", url.c_str(), "replace", midi ? MidiLoadOptions : nullptr, nullptr};
    if (int code = keep(mpv_command(h, command)); code < 0)
        throw MediaError(MediaText::tr("Cannot open \"%1\": %2")
                             .arg(QString::fromLocal8Bit(path.c_str()), QString::fromUtf8(mpv_error_string(code)))
                             .toStdString());
    waitForLoad(nowMs() + OpenTimeoutMs);
    opened_ = true;
    playing_ = false;
    finished_ = false;
    followed_ = false;
    error_ = 0;
}

// loadfile only queues the file: wait until our entry has loaded or ended. End events of a
// file loaded before belong to another entry and are passed over.
void MediaPlayer::waitForLoad(std::int64_t deadlineMs)
{
    std::int64_t ours = -1;
    QString reason = MediaText::tr("it took too long to load");
    for (std::int64_t left = deadlineMs - nowMs(); left > 0; left = deadlineMs - nowMs()) {
        const mpv_event* event = mpv_wait_event(mpv_, static_cast<double>(left) / 1000.0);
        if (event->event_id == MPV_EVENT_START_FILE && ours < 0) {
            ours = static_cast<const mpv_event_start_file*>(event->data)->playlist_entry_id;
        } else if (event->event_id == MPV_EVENT_FILE_LOADED && ours >= 0) {
            entry_ = ours;
            return;
        } else if (event->event_id == MPV_EVENT_END_FILE) {
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            if (end->playlist_entry_id != ours)
                continue;
            // A playlist would send the player on to its entries, possibly remote ones.
            reason = end->reason == MPV_END_FILE_REASON_ERROR ? QString::fromUtf8(mpv_error_string(end->error))
                     : end->reason == MPV_END_FILE_REASON_REDIRECT
                         ? MediaText::tr("playlists are not played")
                         : MediaText::tr("loading was stopped");
            break;
        }
    }
    const char* stopCommand[] = {"stop", nullptr};
    mpv_command(mpv_, stopCommand);
    error_ = MPV_ERROR_LOADING_FAILED;
    throw MediaError(
        MediaText::tr("Cannot open \"%1\": %2").arg(QString::fromLocal8Bit(fileName_.c_str()), reason).toStdString());
}

void MediaPlayer::close()
{
    if (!opened_)
        return;
    const char* command[] = {"stop", nullptr};
    keep(mpv_command(mpv_, command));
    opened_ = false;
    playing_ = false;
    finished_ = false;
    followed_ = false;
    forgetQueue();
    // A song's synthesiser goes back to the pool when libmpv closes its stream, before it
    // reports the end: wait for that, so that the next song takes it instead of loading the
    // SoundFont again.
    if (MidiStreams::isMidi(fileName_))
        awaitEndOf(entry_);
}

void MediaPlayer::awaitEndOf(std::int64_t entry)
{
    const std::int64_t deadline = nowMs() + OpenTimeoutMs;
    for (std::int64_t left = OpenTimeoutMs; left > 0; left = deadline - nowMs()) {
        const mpv_event* event = mpv_wait_event(mpv_, static_cast<double>(left) / 1000.0);
        if (event->event_id == MPV_EVENT_END_FILE
            && static_cast<const mpv_event_end_file*>(event->data)->playlist_entry_id == entry)
            return;
    }
}

// Removes every playlist entry but the current one.
void MediaPlayer::forgetQueue()
{
    queued_.clear();
    following_ = -1;
    const char* command[] = {"playlist-clear", nullptr};
    mpv_command(mpv_, command);
}

// Gapless audio hands the queued file's samples to the output right behind the open file's,
// in the output it already has. It also makes libmpv raise the end-of-file flag, and stop
// moving the position, as soon as the last samples are handed over, half a second before they
// are heard. So it is off for a file opened afresh, whose position and end are then the ones a
// listener hears, and on from the first queue on. It is not switched off again when the queued
// file takes over: libmpv decides whether to keep the output only once that file's first
// samples are decoded, after it has been reported loaded.
void MediaPlayer::setGapless(bool on)
{
    mpv_set_property_string(mpv_, "gapless-audio", on ? "weak" : "no");
}

void MediaPlayer::queue(const std::string& path)
{
    if (!opened_)
        return;
    forgetQueue();
    const bool midi = MidiStreams::isMidi(path);
    std::string url = path;
    if (midi) {
        try {
            url = midi_->prepare(path, false);
        } catch (const std::exception&) {
            return; // opened in its turn, it fails there with the reason
        }
    }
    const char* command[] = {"loadfile", url.c_str(), "append", midi ? MidiLoadOptions : nullptr, nullptr};
    if (mpv_command(mpv_, command) >= 0) {
        queued_ = path;
        setGapless(true);
    }
}

// Between a file and the queued one that follows it nothing is loaded for a moment; a query
// then waits for the follower rather than take the gap for the end of the music.
void MediaPlayer::awaitFollower()
{
    const std::int64_t deadline = nowMs() + OpenTimeoutMs;
    for (std::int64_t left = OpenTimeoutMs; opened_ && !queued_.empty() && left > 0; left = deadline - nowMs())
        handleEvent(*mpv_wait_event(mpv_, static_cast<double>(left) / 1000.0));
}

bool MediaPlayer::readFlag(const char* property)
{
    int flag = 0;
    return mpv_get_property(mpv_, property, MPV_FORMAT_FLAG, &flag) >= 0 && flag;
}

// A file kept open pauses at its end; the end-of-file flag alone would also be raised for the
// moment between a file and the one that follows it without a gap.
bool MediaPlayer::atEnd()
{
    return readFlag("eof-reached") && readFlag("pause");
}

double MediaPlayer::readSeconds(const char* property)
{
    if (!opened_)
        throw MediaError("No media file open");
    drainEvents(); // nothing waits for events between opens; keep libmpv's queue short
    double seconds = 0;
    int code = mpv_get_property(mpv_, property, MPV_FORMAT_DOUBLE, &seconds);
    if (code == MPV_ERROR_PROPERTY_UNAVAILABLE && !queued_.empty()) {
        awaitFollower();
        code = mpv_get_property(mpv_, property, MPV_FORMAT_DOUBLE, &seconds);
    }
    if (keep(code) < 0)
        throw MediaError(std::string("The ") + property + " of \"" + fileName_
                         + "\" is not known: " + mpv_error_string(code));
    return seconds;
}

std::int64_t MediaPlayer::length()
{
    return std::llround(readSeconds("duration") * 1000.0);
}

// At its end a file's last position can fall short of the estimated duration (variable bit
// rates); the end-of-file flag is what tells that the file has finished.
std::int64_t MediaPlayer::position()
{
    if (opened_ && atEnd())
        return length();
    return std::llround(readSeconds("time-pos") * 1000.0);
}

void MediaPlayer::play()
{
    if (!opened_) {
        error_ = MPV_ERROR_UNINITIALIZED;
        return;
    }
    if (atEnd()) {
        drainEvents();
        const char* seek[] = {"seek", "0", "absolute+exact", nullptr};
        if (keep(mpv_command(mpv_, seek)) >= 0)
            waitForEvent(MPV_EVENT_PLAYBACK_RESTART, 2000);
    }
    if (keep(mpv_set_property_string(mpv_, "pause", "no")) >= 0)
        playing_ = true;
}

void MediaPlayer::stop()
{
    if (!opened_) {
        error_ = MPV_ERROR_UNINITIALIZED;
        return;
    }
    keep(mpv_set_property_string(mpv_, "pause", "yes"));
    playing_ = false;
}

} // namespace lmvo
