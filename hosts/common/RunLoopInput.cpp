#include "hosts/common/RunLoopInput.h"
#include "hosts/common/Interruption.h"
#include "platform/runloop/RunLoop.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// The longest single wait: the loop wakes earlier for anything it serves.
constexpr double longestWaitMilliseconds = 60 * 60 * 1000;

} // namespace

RunLoopInput::RunLoopInput(int fd) : m_fd(fd) {
    // Readable input only has to end the loop's wait; the read happens here.
    RunLoop::main()->addReadSource(fd, [] {});
}

RunLoopInput::~RunLoopInput() {
    RunLoop::main()->removeReadSource(m_fd);
}

RunLoopInput::int_type RunLoopInput::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    for (;;) {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 0) > 0) {
            ssize_t got = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (got > 0) {
                setg(m_buffer, m_buffer, m_buffer + got);
                return traits_type::to_int_type(*gptr());
            }
            if (got == 0 || (errno != EINTR && errno != EAGAIN))
                return traits_type::eof();
        }
        if (Interruption::requested())
            return traits_type::eof();
        RunLoop::main()->runOnce(longestWaitMilliseconds);
    }
}
