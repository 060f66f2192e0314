#pragma once

#include "picture/DisplaySize.h"
#include "picture/PictureError.h"
#include "raster/Bitmap.h"
#include "show/IntervalTimer.h"
#include "show/PictureSource.h"
#include "show/ShowOrder.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace lmvo {

class Random;
class ShowClock;

// What the show's controller asks of the window that shows it.
class ShowView {
public:
    virtual ~ShowView() = default;

    // The size and fit every picture is loaded at.
    [[nodiscard]] virtual DisplaySize pictureSize() const = 0;
    // Brings `picture` in through a transition of `style`. A transition played in-line returns
    // when it has ended or been stopped and turns the event loop meanwhile, so the controller
    // is entered again inside it.
    virtual void present(Bitmap&& picture, int style) = 0;
    [[nodiscard]] virtual bool transitionBusy() const = 0;
    virtual void stopTransition() = 0;
    // A picture that cannot be shown.
    virtual void report(const PictureError& error) = 0;
    // Holds the boxes of reports back (true) until released (false). A tick holds them from its
    // start to its end, its wait for the picture included: a box opened inside a tick would
    // stop its picture half-way in until dismissed.
    virtual void holdReports(bool held) = 0;
    // The show has ended: the window goes once control is back in its modal loop.
    virtual void closeShow() = 0;
};

// The decisions of a show, without a window: the picture each tick of the timer brings in, by
// the show's order (shuffled afresh for every pass); looping, or ending after the last picture
// (whose transition still plays); the picture asked for ahead of its tick; pause and exit. A
// picture that fails is reported once in the show and passed over within its tick, at most
// once round the list; when every one has failed, the show ends. Reads the show's shared state
// (scan/SharedState.h) and moves PictureIndex.
//
// A tick whose picture is not ready waits for it without blocking: pictureArrived() goes on with
// it. Ticks that come while one is under way (waiting, or playing its transition in-line) are
// lost, as a timer's expiries are while its own handler runs.
class ShowController {
public:
    // `view`, `source`, `clock` and `random` outlive the controller.
    ShowController(ShowView& view, PictureSource& source, ShowClock& clock, Random& random, int styleCount);
    ShowController(const ShowController&) = delete;
    ShowController& operator=(const ShowController&) = delete;

    // Asks for the first picture and starts the timer.
    void start();

    // The events of a show. The timer's ticks call tick() unless its owner routes them.
    void tick();
    void pause();
    // The picture prepared for the next tick stays; the next tick, one interval from now, shows it.
    void resume();
    void exit();
    // The source has something for the tick waiting, or for the look-ahead.
    void pictureArrived();
    // The size pictures are shown at has changed: the picture prepared or waited for is asked
    // for again at the new size.
    void sizeChanged();

    [[nodiscard]] IntervalTimer& timer() { return timer_; }
    [[nodiscard]] const IntervalTimer& timer() const { return timer_; }
    [[nodiscard]] bool paused() const { return paused_; }
    [[nodiscard]] bool ended() const { return ended_; }
    // A tick waits for its picture.
    [[nodiscard]] bool waiting() const { return waiting_; }
    // Ticks whose picture had not been asked for ahead (the look-ahead must follow the show's
    // own order).
    [[nodiscard]] int unforeseenPictures() const { return unforeseen_; }

private:
    // A tick under way.
    struct Tick {
        std::set<std::size_t> failed; // list indices that failed in this tick
        std::int32_t position = 0;    // of the picture in turn
        std::optional<std::size_t> index; // the picture in turn, once taken
        bool counted = false;         // its look-ahead has been checked
    };

    void goOn();
    void endTick();
    void abandonTick();
    [[nodiscard]] std::size_t takeStep(std::int32_t& position);
    [[nodiscard]] std::optional<PreparedPicture> obtain(Tick& tick);
    void reportFailure(std::size_t index, const PictureError& error);
    void prepareAhead();
    void takeFailureAhead();
    void endShow();
    void closeView();
    void updateTimer();

    ShowView& view_;
    PictureSource& source_;
    Random& random_;
    const int styleCount_;
    IntervalTimer timer_;
    ShowOrder order_;

    std::optional<Tick> tick_;
    bool waiting_ = false;
    int style_ = 0; // of the tick under way
    bool paused_ = false;
    bool ended_ = false;
    bool closeAsked_ = false;
    int unforeseen_ = 0;
    // Pictures that failed to load in this show: each is reported once.
    std::set<std::size_t> reportedFailures_;
    // Failures the look-ahead met on its way to the next good picture, kept for their ticks.
    std::map<std::size_t, PreparedPicture> failedAhead_;
    const std::shared_ptr<char> life_ = std::make_shared<char>();
};

} // namespace lmvo
