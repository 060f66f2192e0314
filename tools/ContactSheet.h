#pragma once

#include <QImage>

#include <functional>

namespace lmvo {

// A contact sheet: the frames of styles 1..`lastStyle`, each scaled to a thumbnail and
// numbered, in a grid of ten columns. `frameOf` renders the frame of one style; all frames
// have the size of the first.
[[nodiscard]] QImage contactSheet(int lastStyle, const std::function<QImage(int style)>& frameOf);

} // namespace lmvo
