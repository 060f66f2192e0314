#include "music/MidiFile.h"

#include "base/ReadFully.h"
#include "base/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {

namespace {

constexpr std::uint8_t TempoMarker = 0xFF; // a tempo change among the raw events
constexpr std::uint32_t DefaultTempo = 500000; // µs per quarter note: 120 beats a minute

// An event as the tracks give it, before the tempo map turns ticks into time. `value` is the
// tempo of a tempo change and the sysex index of a system-exclusive message.
struct RawEvent {
    std::uint64_t tick;
    std::uint32_t value;
    std::uint8_t status, data1, data2;
};

// Big-endian reads within a span; every read checks the bytes left and fails soft.
class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::size_t left() const { return bytes_.size() - pos_; }
    [[nodiscard]] std::size_t pos() const { return pos_; }
    [[nodiscard]] bool atEnd() const { return pos_ >= bytes_.size(); }

    std::optional<std::uint8_t> byte()
    {
        if (atEnd())
            return std::nullopt;
        return bytes_[pos_++];
    }
    std::optional<std::uint32_t> bigEndian(int count)
    {
        if (left() < std::size_t(count))
            return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i)
            v = v << 8 | bytes_[pos_++];
        return v;
    }
    std::optional<std::uint32_t> littleEndian32()
    {
        if (left() < 4)
            return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | bytes_[pos_ + std::size_t(i)];
        pos_ += 4;
        return v;
    }
    // A variable-length quantity: at most four bytes of seven bits each.
    std::optional<std::uint32_t> vlq()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = byte();
            if (!b)
                return std::nullopt;
            v = v << 7 | (*b & 0x7F);
            if (!(*b & 0x80))
                return v;
        }
        return std::nullopt;
    }
    std::span<const std::uint8_t> take(std::size_t count)
    {
        const auto part = bytes_.subspan(pos_, std::min(count, left()));
        pos_ += part.size();
        return part;
    }
    bool startsWith(const char (&tag)[5]) const
    {
        return left() >= 4 && std::memcmp(bytes_.data() + pos_, tag, 4) == 0;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// Channel messages with one data byte (program change, channel pressure); the others have two.
int dataBytes(std::uint8_t status)
{
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Ticks to microseconds: with ticks per quarter note the tempo changes apply, with SMPTE
// frames (the high bit of the division set) time is fixed.
class TempoMap {
public:
    explicit TempoMap(std::uint16_t division)
    {
        if (division & 0x8000) {
            const int fps = -static_cast<std::int8_t>(division >> 8);
            const int perFrame = division & 0xFF;
            if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
                throw MidiError(MidiProblem::BadTiming);
            // 29 stands for the 29.97 frames a second of drop-frame time code.
            usPerTick_ = 1e6 / ((fps == 29 ? 29.97 : fps) * perFrame);
        } else {
            if (division == 0)
                throw MidiError(MidiProblem::BadTiming);
            ticksPerQuarter_ = division;
            usPerTick_ = double(DefaultTempo) / division;
        }
    }
    void change(std::uint64_t tick, std::uint32_t tempo)
    {
        if (ticksPerQuarter_ == 0)
            return;
        baseUs_ = exactUs(tick);
        baseTick_ = tick;
        usPerTick_ = double(tempo) / ticksPerQuarter_;
    }
    std::int64_t us(std::uint64_t tick) const { return std::llround(exactUs(tick)); }

private:
    double exactUs(std::uint64_t tick) const
    {
        const double us = baseUs_ + double(tick - baseTick_) * usPerTick_;
        if (us > double(MidiLimits::MaxSongUs))
            throw MidiError(MidiProblem::TooLong);
        return us;
    }

    int ticksPerQuarter_ = 0;
    double usPerTick_ = 0;
    double baseUs_ = 0;
    std::uint64_t baseTick_ = 0;
};

class SongBuilder {
public:
    // Reads one track chunk into the raw events; returns the tick where it ends.
    std::uint64_t addTrack(std::span<const std::uint8_t> chunk)
    {
        Reader r(chunk);
        std::uint64_t tick = 0;
        std::uint8_t running = 0;
        while (!r.atEnd()) {
            const auto delta = r.vlq();
            const auto first = r.byte();
            if (!delta || !first)
                break;
            tick += *delta;
            std::uint8_t b = *first;
            if (b == 0xFF) {
                if (!meta(r, tick))
                    break;
            } else if (b == 0xF0 || b == 0xF7) {
                if (!sysex(r, tick, b))
                    break;
            } else if (b >= 0xF0) {
                break; // no other system message belongs in a file
            } else if (!channel(r, tick, b, running)) {
                break;
            }
            if (ended_)
                break;
        }
        ended_ = false;
        return tick;
    }

    MidiSong finish(TempoMap map, std::uint64_t endTick)
    {
        if (!notes_)
            throw MidiError(MidiProblem::NoNotes);
        std::stable_sort(raw_.begin(), raw_.end(),
                         [](const RawEvent& a, const RawEvent& b) { return a.tick < b.tick; });
        MidiSong song;
        song.events.reserve(raw_.size());
        for (const RawEvent& e : raw_) {
            if (e.status == TempoMarker) {
                map.change(e.tick, e.value);
                continue;
            }
            song.events.push_back(MidiEvent{map.us(e.tick), e.value, e.status, e.data1, e.data2});
        }
        song.lengthUs = map.us(endTick);
        song.sysex = std::move(sysex_);
        song.sysexBytes = std::move(sysexBytes_);
        return song;
    }

private:
    bool meta(Reader& r, std::uint64_t tick)
    {
        const auto type = r.byte();
        const auto length = r.vlq();
        if (!type || !length || *length > r.left())
            return false;
        const auto data = r.take(*length);
        if (*type == 0x2F) {
            ended_ = true;
        } else if (*type == 0x51 && data.size() >= 3) {
            const std::uint32_t tempo = std::uint32_t(data[0]) << 16 | data[1] << 8 | data[2];
            raw_.push_back({tick, std::max<std::uint32_t>(tempo, 1), TempoMarker, 0, 0});
        }
        return true;
    }

    // Complete system-exclusive messages of a sensible size go to the synthesiser (resets,
    // GS and XG drum parts); continuation packets (0xF7) and oversized dumps are passed over.
    bool sysex(Reader& r, std::uint64_t tick, std::uint8_t kind)
    {
        const auto length = r.vlq();
        if (!length || *length > r.left())
            return false;
        auto data = r.take(*length);
        if (kind != 0xF0 || data.empty() || data.back() != 0xF7 || data.size() > MidiLimits::MaxSysexBytes)
            return true;
        data = data.first(data.size() - 1);
        sysex_.push_back({std::uint32_t(sysexBytes_.size()), std::uint32_t(data.size())});
        sysexBytes_.insert(sysexBytes_.end(), data.begin(), data.end());
        raw_.push_back({tick, std::uint32_t(sysex_.size() - 1), 0xF0, 0, 0});
        return true;
    }

    // A data byte where a status byte belongs repeats the last status (running status); with
    // no status before it the track is damaged.
    bool channel(Reader& r, std::uint64_t tick, std::uint8_t b, std::uint8_t& running)
    {
        std::uint8_t data[2] = {0, 0};
        int have = 0;
        if (b < 0x80) {
            if (running == 0)
                return false;
            data[have++] = b;
            b = running;
        }
        running = b;
        while (have < dataBytes(b)) {
            const auto d = r.byte();
            if (!d || *d >= 0x80)
                return false;
            data[have++] = *d;
        }
        if ((b & 0xF0) == 0x90 && data[1] > 0)
            notes_ = true;
        raw_.push_back({tick, 0, b, data[0], data[1]});
        return true;
    }

    std::vector<RawEvent> raw_;
    std::vector<MidiSysex> sysex_;
    std::vector<std::uint8_t> sysexBytes_;
    bool notes_ = false;
    bool ended_ = false;
};

// A RIFF MIDI file (RMID) carries a Standard MIDI File in its "data" chunk.
std::span<const std::uint8_t> unwrapRiff(std::span<const std::uint8_t> bytes)
{
    Reader r(bytes);
    if (!r.startsWith("RIFF") || bytes.size() < 12 || std::memcmp(bytes.data() + 8, "RMID", 4) != 0)
        return bytes;
    r.take(12);
    while (r.left() >= 8) {
        const bool data = r.startsWith("data");
        r.take(4);
        const std::uint32_t length = *r.littleEndian32();
        const std::size_t start = r.pos();
        const auto content = r.take(length);
        if (data)
            return bytes.subspan(start, content.size());
        r.take(length & 1);
    }
    return {};
}

} // namespace

MidiSong parseMidi(std::span<const std::uint8_t> bytes)
{
    Reader r(unwrapRiff(bytes));
    if (!r.startsWith("MThd"))
        throw MidiError(MidiProblem::NotMidi);
    r.take(4);
    const auto headerLength = r.bigEndian(4);
    if (!headerLength || *headerLength < 6 || *headerLength > r.left())
        throw MidiError(MidiProblem::NotMidi);
    const std::uint32_t format = *r.bigEndian(2);
    const std::uint32_t tracks = *r.bigEndian(2);
    const TempoMap map(static_cast<std::uint16_t>(*r.bigEndian(2)));
    r.take(*headerLength - 6);
    if (format > 1)
        throw MidiError(MidiProblem::UnsupportedFormat, std::to_string(format));

    // The header's track count is a promise the rest of the file may not keep: read the
    // chunks that are there. Chunks of other kinds are skipped, as the format asks.
    SongBuilder builder;
    std::uint64_t endTick = 0;
    for (std::uint32_t found = 0; found < tracks && r.left() >= 8;) {
        const bool track = r.startsWith("MTrk");
        r.take(4);
        const auto chunk = r.take(*r.bigEndian(4));
        if (!track)
            continue;
        endTick = std::max(endTick, builder.addTrack(chunk));
        ++found;
    }
    return builder.finish(map, endTick);
}

MidiSong readMidiFile(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        throw MidiError(MidiProblem::Unreadable, std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw MidiError(MidiProblem::NotMidi);
    if (std::uint64_t(st.st_size) > MidiLimits::MaxFileBytes)
        throw MidiError(MidiProblem::TooLarge);
    std::vector<std::uint8_t> bytes(std::size_t(st.st_size));
    const std::int64_t got = readFully(fd.get(), bytes.data(), bytes.size());
    if (got < 0)
        throw MidiError(MidiProblem::Unreadable, std::strerror(errno));
    bytes.resize(std::size_t(got)); // the file shrank while it was read: parse what there is
    return parseMidi(bytes);
}

} // namespace lmvo
