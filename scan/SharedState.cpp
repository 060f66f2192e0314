#include "scan/SharedState.h"

namespace lmvo {

StringList PictureFiles;
StringList MusicFiles;
std::int32_t PictureIndex = 0;
std::int32_t MusicIndex = 0;
std::int32_t LoopPlay = 0;
bool KeepProportions = false;
bool ShufflePlay = false;

} // namespace lmvo
