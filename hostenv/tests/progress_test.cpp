#include "hostenv/progress.h"

#include <gtest/gtest.h>

#include "testhost.h"

namespace hostenv {
namespace {

using namespace std::chrono_literals;

TEST(Progress, LetsEventsThroughAtMostEveryIntervalOfWorkAndOnceAtTheEnd) {
    const struct {
        const char* work;
        std::vector<std::chrono::milliseconds> steps;  // the clock at each step
        int shown;                                     // showings before the end
    } cases[] = {
        {"fast steps", {10ms, 20ms, 99ms}, 0},
        {"one per interval", {100ms, 150ms, 199ms, 200ms}, 2},
        {"a slow step", {350ms, 360ms, 449ms, 450ms}, 2},
        {"no steps", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.work);
        testing::RecordingUi ui;
        std::chrono::milliseconds now{0};
        Progress progress(ui, [&] { return now; });
        int shown = 0;
        for (const auto step : c.steps) {
            now = step;
            progress.step([&] { ++shown; });
            EXPECT_EQ(ui.eventsteps, shown) << "events go through with each showing only";
        }
        EXPECT_EQ(shown, c.shown);
        progress.finish([&] { ++shown; });
        EXPECT_EQ(shown, c.shown + 1);
        EXPECT_EQ(ui.eventsteps, c.shown + 1);
    }
}

TEST(Progress, TheIntervalCountsFromTheEndOfTheLastShowing) {
    testing::RecordingUi ui;
    std::chrono::milliseconds now{0};
    Progress progress(ui, [&] { return now; });
    now = 100ms;
    // A slow repaint: the window took 80 ms to show it.
    progress.step([&] { now += 80ms; });
    now = 250ms;
    progress.step([] {});
    EXPECT_EQ(ui.eventsteps, 1) << "70 ms of work since the showing ended";
    now = 280ms;
    progress.step([] {});
    EXPECT_EQ(ui.eventsteps, 2);
}

}  // namespace
}  // namespace hostenv
