#pragma once

// The state the windows of the application share during a show. There is exactly one of each,
// declared here and nowhere else.
//
// Ownership: the settings window owns both lists. They live for the whole run; the settings
// window empties them and refills them through the folder scans before every show, and empties
// them again when it closes. The slideshow window and the music player only read the lists and
// move the two indices.

#include <cstdint>
#include <string>
#include <vector>

namespace lmvo {

// An ordered list of file paths, indexed from 0, unsorted, duplicates allowed. Paths are the
// file system's native bytes and are never re-encoded.
using StringList = std::vector<std::string>;

extern StringList PictureFiles; // every picture of the show, in scan order
extern StringList MusicFiles;   // every music file of the show, in scan order
extern std::int32_t PictureIndex; // position of the next picture to load
extern std::int32_t MusicIndex;   // position of the music file playing
extern std::int32_t LoopPlay;     // 1 loops the pictures; any other value ends after the last
extern bool KeepProportions;      // pictures fitted inside the screen on black, not stretched over it
extern bool ShufflePlay;          // a fresh random order of the pictures for every pass

} // namespace lmvo
