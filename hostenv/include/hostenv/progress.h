// Long work shows where it is and lets window events through at a steady rate: often enough
// that the window always answers and "exit" gets through, seldom enough that the work does
// not spend its time redrawing.
#pragma once

#include <chrono>
#include <functional>

#include "hostenv/ui.h"

namespace hostenv {

using ProgressClock = std::function<std::chrono::milliseconds()>;

// The time since some fixed moment, as the system's steady clock counts it.
std::chrono::milliseconds steadyclock();

class Progress {
  public:
    static constexpr std::chrono::milliseconds interval{100};

    Progress(UserInterface& ui, ProgressClock clock);

    // The work has moved on: once interval has passed since the last showing (or the start),
    // show runs and window events are let through. Call it only where the work may stop:
    // an event may end the program.
    void step(const std::function<void()>& show);
    // Whether the next step would show: work that must reach a point where it may stop first
    // (a batch of galaxies put in place) asks.
    bool due() const { return clock_() - last_ >= interval; }
    // The work's end: show runs and window events are let through, whatever the time.
    void finish(const std::function<void()>& show);

  private:
    void showandletthrough(const std::function<void()>& show);

    UserInterface& ui_;
    ProgressClock clock_;
    std::chrono::milliseconds last_;
};

}  // namespace hostenv
