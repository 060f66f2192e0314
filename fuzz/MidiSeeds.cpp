// Writes the seeds of the MIDI reader's fuzz target: sound songs of each kind the reader takes
// (two tracks with a tempo change, one long track, SMPTE time, a RIFF wrapper, system-exclusive
// messages and running status). Run as `lmvo_midi_seeds DIR NAME...`.
#include "tests/support/TestSounds.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using lmvo::smf::Bytes;
using lmvo::smf::Track;

namespace {

std::vector<std::pair<std::string, Bytes>> seeds()
{
    Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
    const Bytes song = lmvo::smf::twoTrackSong();
    for (int i = 0; i < 4; ++i)
        riff.push_back(static_cast<std::uint8_t>(song.size() >> (8 * i)));
    riff.insert(riff.end(), song.begin(), song.end());

    Track rich;
    rich.event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}) // General MIDI on
        .event(0, {0xB9, 0x07, 100})
        .event(0, {0x99, 36, 90})
        .event(120, {38, 90}) // running status
        .event(0, {0xE0, 0x00, 0x50})
        .event(60, {0xD0, 40})
        .event(60, {0x89, 36, 0})
        .end(480);
    return {
        {"two-tracks.mid", song},
        {"long.mid", lmvo::smf::songOf(5000)},
        {"smpte.mid", lmvo::smf::file(0, 0xE728, {Track().note(0, 60, 1000).end()})},
        {"riff.rmi", riff},
        {"rich.mid", lmvo::smf::file(1, 96, {rich})},
    };
}

} // namespace

int main(int argc, char** argv)
{
    for (int t = 2; t < argc; ++t) {
        const std::filesystem::path dir = std::filesystem::path(argv[1]) / argv[t];
        std::filesystem::create_directories(dir);
        for (const auto& [name, bytes] : seeds())
            lmvo::smf::write((dir / name).string(), bytes);
    }
    return argc < 3 ? 2 : 0;
}
