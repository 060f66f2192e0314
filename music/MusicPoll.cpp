#include "music/MusicPoll.h"

#include <QString>

#include <exception>
#include <utility>

namespace lmvo {

MusicPoll::MusicPoll(AudioPlayer& player, const std::vector<std::string>& files,
                     std::int32_t& index, Reporter report)
    : player_(player), files_(files), index_(index), report_(std::move(report))
{
    timer_.setInterval(PollIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { TimerTimer(); });
    player_.setEndHandler([this](AudioPlayer::End end) { onEnd(end); });
}

MusicPoll::~MusicPoll() { player_.setEndHandler({}); }

std::int32_t MusicPoll::after(std::int32_t index) const
{
    return index + 1 >= static_cast<std::int32_t>(files_.size()) || index < 0 ? 0 : index + 1;
}

// The queued file is the next by the same rule the poll follows.
void MusicPoll::queueNext()
{
    queuedIndex_ = after(index_);
    player_.queue(files_[static_cast<std::size_t>(queuedIndex_)]);
}

// A file that followed by itself is where the music is now, whether the poll runs or not;
// a finished file moves the music on only while it runs.
void MusicPoll::onEnd(AudioPlayer::End end)
{
    if (end == AudioPlayer::End::Followed) {
        index_ = queuedIndex_;
        failuresInRow_ = 0;
        queueNext();
    } else if (enabled()) {
        TimerTimer();
    }
}

void MusicPoll::setEnabled(bool on)
{
    if (on == timer_.isActive())
        return;
    if (on)
        timer_.start();
    else
        timer_.stop();
}

void MusicPoll::playmusic()
{
    if (index_ < 0 || static_cast<std::size_t>(index_) >= files_.size())
        throw MediaError("There is no music file number " + std::to_string(index_));
    player_.close();
    player_.open(files_[static_cast<std::size_t>(index_)]);
    player_.play();
    queueNext();
}

bool MusicPoll::nearEnd()
{
    try {
        const std::int64_t length = player_.length();
        return length - player_.position() <= EndThresholdMs;
    } catch (const MediaError&) {
        return true;
    }
}

void MusicPoll::TimerTimer()
{
    if (files_.empty() || !nearEnd())
        return;
    index_ = after(index_);
    playNext();
}

void MusicPoll::playNext()
{
    try {
        playmusic();
        failuresInRow_ = 0;
    } catch (const std::exception& e) {
        const QString reason = QString::fromUtf8(e.what());
        // Counting on past the list's size keeps a stopped run from reporting again.
        if (++failuresInRow_ == files_.size()) {
            setEnabled(false);
            report_(tr("The background music has stopped: none of its files can be played (%1)").arg(reason));
        } else if (failuresInRow_ == 1) {
            report_(reason);
        }
    }
}

} // namespace lmvo
