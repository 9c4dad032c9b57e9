#pragma once

#include <functional>

namespace sv {

// Hands work to the main thread. Tasks run one at a time on the main thread,
// in the order they were posted, from whichever threads; post() never waits.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    virtual void post(std::function<void()> task) = 0;
};

} // namespace sv
