#include "service/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void onStopSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Nothing else is safe in a handler; a full pipe means a stop is pending anyway.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {}

StopSignals::~StopSignals()
{
    if (m_notifier) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
    }
}

bool StopSignals::install()
{
    if (m_notifier)
        return true;
    if (::pipe(pipeEnds) != 0)
        return false;
    for (const int fd : pipeEnds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::onSignal);
    struct sigaction action = {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

void StopSignals::onSignal()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        last = byte;
    if (last != 0)
        emit stopRequested(last == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}
