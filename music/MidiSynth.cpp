#include "music/MidiSynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {

namespace {

// Where Debian and the other common distributions put General MIDI SoundFonts, best first.
// default-GM.sf2 is the system's choice among the installed ones.
constexpr const char* SoundFontPaths[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf3/MuseScore_General.sf3",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/soundfonts/default.sf2",
    "/usr/share/soundfonts/FluidR3_GM.sf2",
};

// Loud enough to sit beside ordinary recordings; FluidSynth's own default (0.2) is far quieter.
constexpr double Gain = 0.6;

// FluidSynth writes its messages to the terminal by default; a desktop program keeps them,
// and the last error explains a SoundFont that does not load.
std::mutex logMutex;
std::string lastError;

void keepLog(int level, const char* message, void*)
{
    if (level > FLUID_ERR || !message)
        return;
    const std::lock_guard lock(logMutex);
    lastError = message;
}

void quietenFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, keepLog, nullptr);
    });
}

std::string takeLastError()
{
    const std::lock_guard lock(logMutex);
    return std::exchange(lastError, std::string());
}

bool isReadableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

} // namespace

std::vector<std::string> soundFontCandidates()
{
    if (const char* chosen = std::getenv("LMVO_SOUNDFONT"); chosen && *chosen)
        return {chosen};
    return {std::begin(SoundFontPaths), std::end(SoundFontPaths)};
}

std::string findSoundFont()
{
    const auto candidates = soundFontCandidates();
    for (const auto& path : candidates)
        if (isReadableFile(path))
            return path;
    std::string places;
    for (const auto& path : candidates)
        places += (places.empty() ? "" : ", ") + path;
    throw SynthError(SynthError::Kind::NoSoundFont, places);
}

class Synth {
public:
    explicit Synth(std::string soundFont) : soundFont_(std::move(soundFont))
    {
        quietenFluidSynth();
        settings_.reset(new_fluid_settings());
        if (!settings_)
            throw SynthError(SynthError::Kind::Failed, soundFont_, takeLastError());
        fluid_settings_setnum(settings_.get(), "synth.sample-rate", MidiRenderer::SampleRate);
        fluid_settings_setnum(settings_.get(), "synth.gain", Gain);
        // Samples are read as the song's programs ask for them: a song uses a few dozen of
        // the font's instruments, and loading all of them would take seconds and 150 MB.
        fluid_settings_setint(settings_.get(), "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings_.get(), "synth.lock-memory", 0);
        synth_.reset(new_fluid_synth(settings_.get()));
        if (!synth_)
            throw SynthError(SynthError::Kind::Failed, soundFont_, takeLastError());
        if (fluid_synth_sfload(synth_.get(), soundFont_.c_str(), 1) == FLUID_FAILED)
            throw SynthError(SynthError::Kind::BadSoundFont, soundFont_, takeLastError());
    }

    [[nodiscard]] fluid_synth_t* get() const { return synth_.get(); }
    [[nodiscard]] const std::string& soundFont() const { return soundFont_; }

private:
    struct DeleteSettings {
        void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
    };
    struct DeleteSynth {
        void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
    };

    std::string soundFont_;
    // The synthesiser goes first: it reads its settings until it is deleted.
    std::unique_ptr<fluid_settings_t, DeleteSettings> settings_;
    std::unique_ptr<fluid_synth_t, DeleteSynth> synth_;
};

std::shared_ptr<SynthPool> SynthPool::create()
{
    return std::shared_ptr<SynthPool>(new SynthPool());
}

SynthPool::~SynthPool() = default;

std::shared_ptr<Synth> SynthPool::acquire()
{
    const std::string font = findSoundFont();
    std::unique_ptr<Synth> synth;
    {
        const std::lock_guard lock(mutex_);
        synth = std::move(idle_);
    }
    if (!synth || synth->soundFont() != font)
        synth = std::make_unique<Synth>(font);
    std::weak_ptr<SynthPool> pool = weak_from_this();
    return std::shared_ptr<Synth>(synth.release(), [pool](Synth* s) {
        if (auto owner = pool.lock())
            owner->giveBack(s);
        else
            delete s;
    });
}

// One idle synthesiser is enough for one song following another; a second is freed.
void SynthPool::giveBack(Synth* synth)
{
    std::unique_ptr<Synth> returned(synth);
    fluid_synth_system_reset(returned->get());
    const std::lock_guard lock(mutex_);
    if (!idle_)
        idle_ = std::move(returned);
}

MidiRenderer::MidiRenderer(std::shared_ptr<const MidiSong> song, std::shared_ptr<SynthPool> pool)
    : song_(std::move(song)), pool_(std::move(pool))
{
    frames_ = static_cast<std::uint64_t>(song_->lengthUs) * SampleRate / 1000000;
}

MidiRenderer::~MidiRenderer() = default;

std::uint64_t MidiRenderer::frameOf(const MidiEvent& e) const
{
    return static_cast<std::uint64_t>(e.us) * SampleRate / 1000000;
}

// With `notes` false only what shapes later notes is sent: a seek must not start every note
// of the skipped part at once.
void MidiRenderer::send(const MidiEvent& e, bool notes)
{
    fluid_synth_t* s = synth_->get();
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80:
        if (notes)
            fluid_synth_noteoff(s, channel, e.data1);
        break;
    case 0x90:
        if (notes)
            fluid_synth_noteon(s, channel, e.data1, e.data2);
        break;
    case 0xA0:
        if (notes)
            fluid_synth_key_pressure(s, channel, e.data1, e.data2);
        break;
    case 0xB0: fluid_synth_cc(s, channel, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(s, channel, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(s, channel, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(s, channel, e.data1 | e.data2 << 7); break;
    case 0xF0: {
        const MidiSysex& x = song_->sysex[e.sysex];
        fluid_synth_sysex(s, reinterpret_cast<const char*>(song_->sysexBytes.data() + x.offset),
                          static_cast<int>(x.length), nullptr, nullptr, nullptr, 0);
        break;
    }
    default: break;
    }
}

void MidiRenderer::takeSynth()
{
    if (synth_)
        return;
    synth_ = pool_->acquire();
    for (std::size_t i = 0; i < next_; ++i)
        send(song_->events[i], false);
}

void MidiRenderer::restart()
{
    next_ = 0;
    pos_ = 0;
    if (synth_)
        fluid_synth_system_reset(synth_->get());
    takeSynth();
}

void MidiRenderer::seek(std::uint64_t frame)
{
    frame = std::min(frame, frames_);
    if (frame == pos_)
        return;
    restart();
    const auto& events = song_->events;
    for (; next_ < events.size() && frameOf(events[next_]) < frame; ++next_)
        send(events[next_], false);
    pos_ = frame;
}

std::size_t MidiRenderer::render(std::int16_t* out, std::size_t count)
{
    const auto& events = song_->events;
    std::size_t written = 0;
    if (pos_ < frames_)
        takeSynth();
    while (written < count && pos_ < frames_) {
        for (; next_ < events.size() && frameOf(events[next_]) <= pos_; ++next_)
            send(events[next_], true);
        const std::uint64_t until = next_ < events.size() ? std::min(frames_, frameOf(events[next_])) : frames_;
        const auto n = static_cast<int>(std::min<std::uint64_t>(count - written, until - pos_));
        std::int16_t* at = out + written * Channels;
        fluid_synth_write_s16(synth_->get(), n, at, 0, Channels, at, 1, Channels);
        written += std::size_t(n);
        pos_ += std::uint64_t(n);
    }
    if (pos_ >= frames_)
        synth_.reset();
    return written;
}

} // namespace lmvo
