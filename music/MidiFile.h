#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace lmvo {

// What makes a file unplayable as a MIDI song; the player words it for the user.
enum class MidiProblem {
    Unreadable,        // the system refused to read it; the detail is the system's text
    TooLarge,          // larger than MidiLimits::MaxFileBytes
    NotMidi,           // no Standard MIDI File header
    UnsupportedFormat, // format 2 (independent sequences) or unknown; the detail is the number
    BadTiming,         // a division of 0 ticks or an unknown frame rate
    TooLong,           // would last longer than MidiLimits::MaxSongUs
    NoNotes,           // nothing to hear
};

class MidiError : public std::runtime_error {
public:
    MidiError(MidiProblem problem, const std::string& detail = {})
        : std::runtime_error(detail), problem_(problem)
    {
    }
    [[nodiscard]] MidiProblem problem() const { return problem_; }

private:
    MidiProblem problem_;
};

// Bounds that keep a hostile file from costing unbounded memory or time. Every stored event
// takes at least two bytes of the file, so the file size bounds the event list as well.
struct MidiLimits {
    static constexpr std::size_t MaxFileBytes = 8u << 20;
    static constexpr std::int64_t MaxSongUs = 4LL * 3600 * 1000000;
    static constexpr std::size_t MaxSysexBytes = 4096;
};

// One message of a song at its time. Channel messages keep their status and data bytes; a
// system-exclusive message (status 0xF0) names its bytes in the song by `sysex`.
struct MidiEvent {
    std::int64_t us = 0; // from the start of the song
    std::uint32_t sysex = 0;
    std::uint8_t status = 0, data1 = 0, data2 = 0;
};

struct MidiSysex {
    std::uint32_t offset = 0, length = 0; // in MidiSong::sysexBytes, without 0xF0 and 0xF7
};

// A Standard MIDI File (format 0 or 1) flattened into one list in time order, with the tempo
// map already applied: what a synthesiser needs, and nothing a parser must keep.
struct MidiSong {
    std::vector<MidiEvent> events;
    std::vector<MidiSysex> sysex;
    std::vector<std::uint8_t> sysexBytes;
    std::int64_t lengthUs = 0; // the end of the last track
};

// Reads a Standard MIDI File, bare or wrapped in RIFF (RMID). A track cut short, a track
// without its end marker or a malformed event ends that track where the damage starts; the
// song keeps what came before. Throws MidiError when nothing playable remains.
[[nodiscard]] MidiSong parseMidi(std::span<const std::uint8_t> bytes);

// Reads a regular file of at most MidiLimits::MaxFileBytes (never blocking on a FIFO or a
// device) and parses it. Throws MidiError.
[[nodiscard]] MidiSong readMidiFile(const std::string& path);

} // namespace lmvo
