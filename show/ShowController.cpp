#include "show/ShowController.h"

#include "scan/SharedState.h"

#include <lumivo/Random.h>

#include <algorithm>
#include <utility>

namespace lmvo {

ShowController::ShowController(ShowView& view, PictureSource& source, ShowClock& clock, Random& random, int styleCount)
    : view_(view), source_(source), random_(random), styleCount_(styleCount), timer_(clock),
      order_(PictureFiles.size(), ShufflePlay, random)
{
    timer_.onTick = [this] { tick(); };
}

void ShowController::start()
{
    prepareAhead();
    updateTimer();
}

// One tick: the next picture of the show comes in through a transition.
void ShowController::tick()
{
    if (PictureFiles.empty() || tick_)
        return;
    if (view_.transitionBusy())
        view_.stopTransition();
    style_ = int(random_.draw(std::uint32_t(styleCount_))) + 1;
    view_.holdReports(true);
    tick_.emplace();
    goOn();
}

// Takes pictures by the show's order until one comes in, reporting those that fail; returns
// early, waiting, when the picture in turn is not ready.
void ShowController::goOn()
{
    try {
        Tick& t = *tick_;
        while (t.failed.size() < PictureFiles.size()) {
            if (!t.index) {
                const std::size_t index = takeStep(t.position);
                if (t.failed.count(index))
                    continue;
                t.index = index;
                t.counted = false;
            }
            std::optional<PreparedPicture> got = obtain(t);
            if (!got) {
                waiting_ = true;
                return;
            }
            const std::size_t index = *std::exchange(t.index, std::nullopt);
            if (got->picture) {
                const std::weak_ptr<char> alive = life_;
                view_.present(std::move(*got->picture), style_);
                if (alive.expired())
                    return;
                break;
            }
            t.failed.insert(index);
            if (got->error)
                reportFailure(index, *got->error);
        }
    } catch (...) {
        abandonTick();
        throw;
    }
    endTick();
}

void ShowController::endTick()
{
    const bool allFailed = tick_->failed.size() >= PictureFiles.size();
    tick_.reset();
    waiting_ = false;
    if (allFailed)
        endShow();
    // At the end of the list the show was ended before its last picture came in: its
    // transition has played now.
    if (ended_)
        closeView();
    prepareAhead();
    updateTimer();
    view_.holdReports(false);
}

// The tick gives up its picture (the show was paused or ended while it waited): it is the
// first picture the show takes when it goes on.
void ShowController::abandonTick()
{
    if (!tick_)
        return;
    if (tick_->index)
        PictureIndex = tick_->position;
    tick_.reset();
    waiting_ = false;
    if (ended_)
        closeView();
    view_.holdReports(false);
}

// The position of the next picture, and its index in the list. At the end of the list the show
// begins a new pass when it loops and ends otherwise (the picture at the start is taken all the
// same, so its transition still plays).
std::size_t ShowController::takeStep(std::int32_t& position)
{
    if (PictureIndex < 0 || std::size_t(PictureIndex) >= PictureFiles.size()) {
        PictureIndex = 0;
        order_.beginNextPass();
        if (LoopPlay != 1)
            endShow();
    }
    position = PictureIndex++;
    return order_.at(std::size_t(position));
}

// The picture in turn, at the shown size, if it is ready; else it is asked for.
std::optional<PreparedPicture> ShowController::obtain(Tick& t)
{
    const std::size_t index = *t.index;
    // A failure the look-ahead met moments ago is reported as it was met: reading the file's
    // stamp again here would be a file-system call on the main thread, which a stalled folder
    // could hold. The next pass tries the file afresh.
    if (auto known = failedAhead_.extract(index))
        return std::move(known.mapped());
    if (!t.counted) {
        t.counted = true;
        if (!source_.wanted() || source_.wanted()->index != index)
            ++unforeseen_;
    }
    const PictureRequest request{index, PictureFiles[index], view_.pictureSize()};
    if (std::optional<PreparedPicture> ready = source_.take(request))
        return ready;
    source_.prepare(request); // nothing when it is under way already
    return std::nullopt;
}

// A file counts as reported once its report is made: the reporter loses none.
void ShowController::reportFailure(std::size_t index, const PictureError& error)
{
    if (reportedFailures_.insert(index).second)
        view_.report(error);
}

void ShowController::pause()
{
    paused_ = true;
    view_.stopTransition();
    timer_.setEnabled(false);
    if (waiting_)
        abandonTick();
}

void ShowController::resume()
{
    paused_ = false;
    prepareAhead();
    updateTimer();
}

void ShowController::exit()
{
    view_.stopTransition();
    timer_.setEnabled(false);
    ended_ = true;
    if (waiting_)
        abandonTick();
    closeView();
}

void ShowController::pictureArrived()
{
    if (waiting_) {
        waiting_ = false;
        goOn();
        return;
    }
    takeFailureAhead();
}

void ShowController::sizeChanged()
{
    if (waiting_) {
        waiting_ = false;
        goOn();
        return;
    }
    prepareAhead();
}

// Asks the source for the picture the next tick will take, by the show's own order, passing
// over the pictures already known to fail.
void ShowController::prepareAhead()
{
    if (waiting_ || ended_ || PictureFiles.empty())
        return;
    const std::size_t count = PictureFiles.size();
    std::size_t position = std::size_t(std::max<std::int32_t>(PictureIndex, 0));
    bool nextPass = false;
    for (std::size_t walked = 0; walked < count; ++walked, ++position) {
        if (position >= count) {
            if (nextPass)
                return;
            position = 0;
            nextPass = true;
        }
        const std::size_t index = order_.at(position, nextPass);
        if (failedAhead_.count(index))
            continue;
        source_.prepare({index, PictureFiles[index], view_.pictureSize()});
        return;
    }
}

// A failure the look-ahead met is kept for its tick, and the look-ahead goes on past it.
void ShowController::takeFailureAhead()
{
    if (ended_)
        return;
    const PreparedPicture* ready = source_.ready();
    if (!ready || ready->picture)
        return;
    const PictureRequest request = ready->request;
    if (std::optional<PreparedPicture> failure = source_.take(request))
        failedAhead_.insert_or_assign(request.index, std::move(*failure));
    prepareAhead();
}

void ShowController::endShow()
{
    view_.stopTransition();
    timer_.setEnabled(false);
    ended_ = true;
}

void ShowController::closeView()
{
    if (!std::exchange(closeAsked_, true))
        view_.closeShow();
}

// The timer runs exactly when no transition is under way and there are pictures; a show that
// is paused or has ended keeps it off, so a pause pressed during a transition holds and an exit
// during one starts nothing more.
void ShowController::updateTimer()
{
    timer_.setEnabled(!view_.transitionBusy() && !PictureFiles.empty() && !paused_ && !ended_);
}

} // namespace lmvo
