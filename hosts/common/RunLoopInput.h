#pragma once

// A script read from a descriptor (a pipe) while the main run loop goes on: whenever nothing is
// there to read, the loop serves its sources (a control socket among them) until something comes.
// The end of the input, or an interrupt, ends the script.

#include <streambuf>

class RunLoopInput : public std::streambuf {
public:
    explicit RunLoopInput(int fd);
    ~RunLoopInput() override;
    RunLoopInput(const RunLoopInput&) = delete;
    RunLoopInput& operator=(const RunLoopInput&) = delete;

protected:
    int_type underflow() override;

private:
    int m_fd;
    char m_buffer[65536];
};
