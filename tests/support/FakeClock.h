#pragma once

#include "session/Pacer.h"

namespace kestivo::test {

// Time stands still until someone sleeps or the test moves it on.
class FakeClock final : public Clock {
public:
    Time now() override { return now_; }
    void sleepUntil(Time t) override
    {
        ++sleeps;
        if (t > now_)
            now_ = t;
    }
    void advance(Duration d) { now_ += d; }
    [[nodiscard]] double seconds() const
    {
        return std::chrono::duration<double>(now_.time_since_epoch()).count();
    }

    int sleeps = 0;

private:
    Time now_{};
};

} // namespace kestivo::test
