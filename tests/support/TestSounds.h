#pragma once

// Sound files for the tests and the benchmarks: Standard MIDI Files written byte by byte, so
// that damaged files are as easy to write as sound ones, and plain WAV tones.

#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace lmvo::smf {

using Bytes = std::vector<std::uint8_t>;

inline void putBigEndian(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void putVlq(Bytes& out, std::uint32_t value)
{
    Bytes groups{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7)
        groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    out.insert(out.end(), groups.begin(), groups.end());
}

// The events of one track; `chunk` wraps them, with a length that may lie.
struct Track {
    Bytes bytes;

    Track& event(std::uint32_t delta, std::initializer_list<std::uint8_t> message)
    {
        putVlq(bytes, delta);
        bytes.insert(bytes.end(), message);
        return *this;
    }
    Track& tempo(std::uint32_t delta, std::uint32_t usPerQuarter)
    {
        putVlq(bytes, delta);
        bytes.insert(bytes.end(), {0xFF, 0x51, 0x03});
        putBigEndian(bytes, usPerQuarter, 3);
        return *this;
    }
    Track& note(std::uint32_t delta, std::uint8_t key, std::uint32_t ticks, std::uint8_t channel = 0)
    {
        event(delta, {std::uint8_t(0x90 | channel), key, 100});
        return event(ticks, {std::uint8_t(0x80 | channel), key, 0});
    }
    Track& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }

    [[nodiscard]] Bytes chunk(std::uint32_t declaredLength) const
    {
        Bytes out{'M', 'T', 'r', 'k'};
        putBigEndian(out, declaredLength, 4);
        out.insert(out.end(), bytes.begin(), bytes.end());
        return out;
    }
    [[nodiscard]] Bytes chunk() const { return chunk(static_cast<std::uint32_t>(bytes.size())); }
};

inline Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    putBigEndian(out, format, 2);
    putBigEndian(out, tracks, 2);
    putBigEndian(out, division, 2);
    return out;
}

inline Bytes file(std::uint16_t format, std::uint16_t division, const std::vector<Track>& tracks)
{
    Bytes out = header(format, static_cast<std::uint16_t>(tracks.size()), division);
    for (const Track& t : tracks) {
        const Bytes c = t.chunk();
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

// Two tracks at 480 ticks a quarter: the first sets 120 beats a minute and, after two beats,
// 240; the second plays a rising line of quarter notes through both tempos. It lasts
// 2 × 0.5 s + 2 × 0.25 s = 1.5 s.
inline Bytes twoTrackSong()
{
    Track tempo;
    tempo.tempo(0, 500000).tempo(960, 250000).end(960);
    Track tune;
    tune.event(0, {0xC0, 0}).note(0, 60, 480).note(0, 64, 480).note(0, 67, 480).note(0, 72, 480).end();
    return file(1, 480, {tempo, tune});
}
inline constexpr std::int64_t TwoTrackSongUs = 1500000;

// One track of notes at 120 beats a minute and 500 ticks a quarter, so a tick is 1 ms, lasting
// `ms` milliseconds: notes of up to half a second each, one after the other.
inline Bytes songOf(std::uint32_t ms)
{
    Track t;
    t.event(0, {0xC0, 0});
    std::uint32_t at = 0;
    for (std::uint8_t key = 60; at < ms; key = key == 72 ? 60 : key + 1) {
        const std::uint32_t length = ms - at < 500 ? ms - at : 500;
        t.note(0, key, length);
        at += length;
    }
    t.end();
    return file(0, 500, {t});
}

inline void write(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

} // namespace lmvo::smf

namespace lmvo {

// A 16-bit PCM WAV file with a quiet 440 Hz tone of the given length in every channel.
inline void writeWav(const std::string& path, int milliseconds, std::uint32_t rate = 8000,
                     std::uint32_t channels = 1)
{
    const std::uint32_t frames = rate * std::uint32_t(milliseconds) / 1000;
    const std::uint32_t frameBytes = 2 * channels;
    smf::Bytes b{'R', 'I', 'F', 'F'};
    const auto le = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(std::uint8_t(v >> (8 * i)));
    };
    le(36 + frames * frameBytes, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    le(16, 4), le(1, 2), le(channels, 2), le(rate, 4), le(rate * frameBytes, 4), le(frameBytes, 2), le(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    le(frames * frameBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (std::uint32_t c = 0; c < channels; ++c)
            le(std::uint32_t(std::lround(3000 * std::sin(i * 2 * M_PI * 440 / rate))), 2);
    smf::write(path, b);
}

} // namespace lmvo
