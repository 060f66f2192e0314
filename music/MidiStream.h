#pragma once

#include "music/MidiSynth.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mpv_handle;

namespace lmvo {

// A song as the bytes of a 16-bit stereo WAV file, read and sought like a file and synthesised
// as it is read: at most one block of frames exists at a time, whatever the song's length.
class MidiWavStream {
public:
    static constexpr std::size_t HeaderBytes = 44;
    static constexpr std::size_t BlockFrames = 4096;

    explicit MidiWavStream(std::unique_ptr<MidiRenderer> renderer);

    [[nodiscard]] std::int64_t size() const { return size_; }
    [[nodiscard]] std::uint64_t frames() const { return renderer_->frames(); }
    // Copies up to `count` bytes from the read position on; 0 at the end.
    std::size_t read(char* out, std::size_t count);
    // Moves the read position (at most the end); returns it.
    std::int64_t seek(std::int64_t offset);

private:
    void fillBlock(std::uint64_t frame);

    std::unique_ptr<MidiRenderer> renderer_;
    std::array<char, HeaderBytes> header_{};
    std::int64_t size_ = 0;
    std::int64_t pos_ = 0;
    std::vector<std::int16_t> block_;
    std::uint64_t blockStart_ = 0; // the first frame of the block
    std::size_t blockFrames_ = 0;
};

// Lets libmpv play MIDI songs: a song prepared here is loaded by the URL `prepare` returns,
// under the protocol MidiStreams::Protocol, and libmpv reads it as a WAV file from a
// MidiWavStream. A prepared song libmpv never asks for goes with the next preparation.
class MidiStreams {
public:
    static constexpr const char* Protocol = "lmvo-midi";

    MidiStreams();
    ~MidiStreams();
    MidiStreams(const MidiStreams&) = delete;
    MidiStreams& operator=(const MidiStreams&) = delete;

    // Registers the protocol. The streams must outlive the libmpv instance.
    [[nodiscard]] int registerWith(mpv_handle* mpv);
    // Reads and parses `path`; with `synthNow` also takes a synthesiser, else the first read
    // does. Throws MidiError or SynthError.
    [[nodiscard]] std::string prepare(const std::string& path, bool synthNow);

    // The stream prepared under `url`, once; nullptr for any other URL. libmpv's open calls it.
    [[nodiscard]] std::unique_ptr<MidiWavStream> take(const std::string& url);

    // A path with a MIDI extension (ASCII case ignored).
    [[nodiscard]] static bool isMidi(const std::string& path);

private:

    std::shared_ptr<SynthPool> pool_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<MidiWavStream>> prepared_;
    std::uint64_t serial_ = 0;
};

} // namespace lmvo
