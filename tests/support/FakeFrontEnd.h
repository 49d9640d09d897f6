#pragma once

#include "session/FrontEnd.h"

#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace kestivo::test {

// A front-end with no window: it counts what the session asks of it, and
// its input clock stands still until a test moves it.
class FakeFrontEnd final : public FrontEnd {
public:
    void present(const DirtyRegion&) override { ++frames; }
    void paintBetweenFrames() override {}
    void flushInput() override {}
    void showBusy(bool on) override
    {
        if (on && busyFails)
            throw std::bad_alloc();
        busy = on;
    }
    void reportError(const std::string&, const std::string& message) override
    {
        reports.push_back(message);
        if (duringReport) // the report's own event loop
            duringReport();
    }
    void exit(int s) override
    {
        exits.push_back(s);
        status = s;
    }
    void later(std::function<void()> task) override { tasks.push_back(std::move(task)); }
    std::uint32_t inputClockMs() override { return clockMs; }

    // Runs what was left for later, as the event loop would.
    void runLater()
    {
        for (auto tasks_ = std::exchange(tasks, {}); auto& t : tasks_)
            t();
    }

    int frames = 0;
    bool busy = false;
    bool busyFails = false; // turning busy on throws, as when memory has run out
    std::vector<std::string> reports;
    std::function<void()> duringReport;
    std::vector<int> exits;
    int status = -1;
    std::vector<std::function<void()>> tasks;
    std::uint32_t clockMs = 0;
};

} // namespace kestivo::test
