#pragma once

#include "music/MidiFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace lmvo {

// Why no synthesiser can be had; the player words it for the user.
class SynthError : public std::runtime_error {
public:
    enum class Kind {
        NoSoundFont,  // the detail lists the places looked at
        BadSoundFont, // the detail is the SoundFont's path; `reason` is FluidSynth's text
        Failed,       // FluidSynth could not start
    };
    SynthError(Kind kind, const std::string& detail, std::string reason = {})
        : std::runtime_error(detail), kind_(kind), reason_(std::move(reason))
    {
    }
    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] const std::string& reason() const { return reason_; }

private:
    Kind kind_;
    std::string reason_;
};

// The General MIDI SoundFonts to look for, best first: the one named by the environment
// variable LMVO_SOUNDFONT alone when it is set, else the system's default and the fonts of
// the usual packages.
[[nodiscard]] std::vector<std::string> soundFontCandidates();
// The first candidate that is a readable regular file. Throws SynthError (NoSoundFont).
[[nodiscard]] std::string findSoundFont();

// A FluidSynth synthesiser with a General MIDI SoundFont loaded, rendering at SampleRate.
// Used by one thread at a time.
class Synth;

// Loading a SoundFont takes a third of a second for the common 140 MB font, so synthesisers
// are kept: `acquire` hands out an idle one (reset) or loads a new one, and the last holder's
// release gives it back. Thread-safe; synthesisers handed out may outlive the pool.
class SynthPool : public std::enable_shared_from_this<SynthPool> {
public:
    [[nodiscard]] static std::shared_ptr<SynthPool> create();
    ~SynthPool();

    // Throws SynthError.
    [[nodiscard]] std::shared_ptr<Synth> acquire();

private:
    SynthPool() = default;
    void giveBack(Synth* synth);

    std::mutex mutex_;
    std::unique_ptr<Synth> idle_;
};

// Synthesises a song into interleaved 16-bit stereo frames on demand: only the frames asked
// for exist at any time. The length comes from the song's tempo map, not from the synthesiser,
// so it is known before the first frame. A synthesiser is taken from the pool for the first
// frame (or earlier by takeSynth), goes back once the last frame is made, and is fetched again
// on a seek back: a song that follows another gets the synthesiser the other has finished with.
class MidiRenderer {
public:
    static constexpr int SampleRate = 44100;
    static constexpr int Channels = 2;

    MidiRenderer(std::shared_ptr<const MidiSong> song, std::shared_ptr<SynthPool> pool);
    ~MidiRenderer();
    MidiRenderer(const MidiRenderer&) = delete;
    MidiRenderer& operator=(const MidiRenderer&) = delete;

    [[nodiscard]] std::uint64_t frames() const { return frames_; }
    [[nodiscard]] std::uint64_t position() const { return pos_; }

    // Writes up to `count` frames from the position on and returns how many; 0 at the end.
    // Throws SynthError when a seek back needs a synthesiser and none can be loaded.
    std::size_t render(std::int16_t* out, std::size_t count);
    // Moves to `frame` (at most the end). The channel settings (programs, controllers, pitch
    // bends) sent before it apply; notes begun before it do not sound.
    void seek(std::uint64_t frame);
    // Takes a synthesiser now, so that a missing or broken SoundFont is known. Throws SynthError.
    void takeSynth();

private:
    [[nodiscard]] std::uint64_t frameOf(const MidiEvent& e) const;
    void send(const MidiEvent& e, bool notes);
    void restart();

    std::shared_ptr<const MidiSong> song_;
    std::shared_ptr<SynthPool> pool_;
    std::shared_ptr<Synth> synth_;
    std::uint64_t frames_ = 0;
    std::uint64_t pos_ = 0;
    std::size_t next_ = 0; // the first event not sent yet
};

} // namespace lmvo
