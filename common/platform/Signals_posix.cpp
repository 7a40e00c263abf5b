#include "Signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

namespace {

int Pipe[2] = {-1, -1};
struct sigaction OldInt, OldTerm;

// Only async-signal-safe work here: the loop reads the pipe.
void OnSignal(int Signal)
{
    const int saved = errno;
    const char c = static_cast<char>(Signal);
    [[maybe_unused]] const ssize_t n = ::write(Pipe[1], &c, 1);
    errno = saved;
}

} // namespace

TTerminationRequest::TTerminationRequest(std::function<void()> OnRequest) : FOnRequest(std::move(OnRequest))
{
    if (Pipe[0] >= 0) std::abort(); // one at a time
    if (::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa
    {
    };
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &OldInt);
    ::sigaction(SIGTERM, &sa, &OldTerm);
    FNotifier = std::make_unique<QSocketNotifier>(Pipe[0], QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, FNotifier.get(), [this] {
        char buf[16];
        while (::read(Pipe[0], buf, sizeof buf) > 0) {
        }
        if (FOnRequest) FOnRequest();
    });
}

TTerminationRequest::~TTerminationRequest()
{
    if (Pipe[0] < 0) return;
    ::sigaction(SIGINT, &OldInt, nullptr);
    ::sigaction(SIGTERM, &OldTerm, nullptr);
    FNotifier.reset();
    ::close(Pipe[0]);
    ::close(Pipe[1]);
    Pipe[0] = Pipe[1] = -1;
}

} // namespace Platform
