// Fuzzes the MIDI file reader: every input is parsed as a Standard MIDI File, and a song that
// comes out must keep the promises the synthesiser relies on.
#include "music/MidiFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    try {
        const lmvo::MidiSong song = lmvo::parseMidi({bytes, size});
        std::int64_t last = 0;
        for (const lmvo::MidiEvent& e : song.events) {
            const bool sysex = e.status == 0xF0;
            if (e.us < last || e.us > song.lengthUs || (sysex && e.sysex >= song.sysex.size())
                || (!sysex && (e.status < 0x80 || e.status >= 0xF0 || e.data1 > 0x7F || e.data2 > 0x7F)))
                std::abort();
            last = e.us;
        }
        for (const lmvo::MidiSysex& x : song.sysex)
            if (std::uint64_t(x.offset) + x.length > song.sysexBytes.size())
                std::abort();
        if (song.lengthUs > lmvo::MidiLimits::MaxSongUs)
            std::abort();
    } catch (const lmvo::MidiError&) {
    }
    return 0;
}
