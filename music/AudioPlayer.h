#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace lmvo {

// A failure of the audio player that the caller reports (a file that cannot be opened, a
// query without an open file).
class MediaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operations the background music needs of an audio player. Times are in milliseconds.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;

    // Closes a file still open, then opens `path` (native bytes) positioned at its start,
    // not playing. Throws MediaError with the backend's reason when the file cannot be played.
    virtual void open(const std::string& path) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // Plays from the current position; a file that stands at its end starts over.
    virtual void play() = 0;
    // Pauses at the current position.
    virtual void stop() = 0;
    // Both throw MediaError when no file is open or the value is not known.
    [[nodiscard]] virtual std::int64_t length() = 0;
    [[nodiscard]] virtual std::int64_t position() = 0;

    // Asks for `path` to follow the open file without a gap when it has played to its end,
    // replacing what was queued before; opening a file forgets it. A player may have no such
    // thing (this default): its end is then reported as Finished and the caller opens the next
    // file. A file that cannot be queued is not queued: opened in its turn, it fails there.
    virtual void queue(const std::string& path) { (void)path; }

    enum class End {
        Finished, // the file has played to its end and stands there
        Followed, // the queued file has taken its place and plays: it is the open file now
    };
    // `handler` runs from the event loop each time a playing file has reached its end (not
    // when it is paused, closed or replaced). An empty handler removes it.
    void setEndHandler(std::function<void(End)> handler) { ended_ = std::move(handler); }

protected:
    void notifyEnd(End end) const
    {
        if (auto handler = ended_) // a copy: the handler may replace itself
            handler(end);
    }

private:
    std::function<void(End)> ended_;
};

} // namespace lmvo
