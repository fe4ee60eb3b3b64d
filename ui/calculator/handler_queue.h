#pragma once

#include <deque>
#include <functional>

// Runs the window's event handlers one at a time. A handler that causes another event (a focus
// move, or a click while its message box is open) does not run that event's handler inside
// itself: the second handler waits and runs when the first has ended, in order.
class HandlerQueue {
public:
    using Handler = std::function<void()>;

    void post(Handler handler) {
        if (stopped_)
            return;
        pending_.push_back(std::move(handler));
        if (running_)
            return;
        running_ = true;
        while (!pending_.empty() && !stopped_) {
            Handler next = std::move(pending_.front());
            pending_.pop_front();
            next();
        }
        running_ = false;
    }

    // The program is ending: nothing waiting runs, and nothing posted later either.
    void stop() {
        stopped_ = true;
        pending_.clear();
    }

    bool running() const { return running_; }

private:
    std::deque<Handler> pending_;
    bool running_ = false;
    bool stopped_ = false;
};
