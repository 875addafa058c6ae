#include "hostenv/progress.h"

#include <utility>

namespace hostenv {

std::chrono::milliseconds steadyclock() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

Progress::Progress(UserInterface& ui, ProgressClock clock)
    : ui_(ui), clock_(std::move(clock)), last_(clock_()) {}

void Progress::step(const std::function<void()>& show) {
    if (due()) showandletthrough(show);
}

void Progress::finish(const std::function<void()>& show) {
    showandletthrough(show);
}

void Progress::showandletthrough(const std::function<void()>& show) {
    show();
    ui_.doevents();
    // Counted from after the showing: a slow repaint does not eat into the work's share.
    last_ = clock_();
}

}  // namespace hostenv
