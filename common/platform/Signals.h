#pragma once
// The request of the user or the system that the program end (Ctrl+C, a polite kill), delivered as
// a call on the thread that runs the event loop instead of inside a signal handler.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace Platform {

// While it lives, an end request calls OnRequest on the creating thread. One at a time.
class TTerminationRequest
{
public:
    explicit TTerminationRequest(std::function<void()> OnRequest);
    ~TTerminationRequest();
    TTerminationRequest(const TTerminationRequest&) = delete;
    TTerminationRequest& operator=(const TTerminationRequest&) = delete;

private:
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::function<void()> FOnRequest;
};

} // namespace Platform
