#pragma once

// Where a running process of a booted device takes commands from outside: a Unix socket named
// after the process in the device's /var/run/control. Both ends reach it through a descriptor of
// that folder opened beneath the device root, so a link planted in a device folder never leads a
// server or a client to a socket elsewhere.

#include <string>
#include <sys/types.h>

namespace ControlSocket {

// The folder of the sockets, a device path.
constexpr const char* folder = "/var/run/control";

// A listening socket for the process `name` of the current device, non-blocking, made fresh over
// one left behind by an earlier process of that name; -1 with error set. The socket file can be
// reached by anyone who can reach the folder: who may talk is decided by the server, from the
// peer's credentials, so that a refusal can be logged.
struct Listening {
    int fd = -1;
    dev_t device = 0; // the socket file's, to know it again
    ino_t inode = 0;
};
Listening listen(const std::string& name, std::string& error);

// Removes the socket file, unless another process has made one of that name since.
void remove(const std::string& name, const Listening& listening);

// Connects to the process `name` of the current device (blocking); -1 with error set, saying
// "not running" when nothing listens there.
int connect(const std::string& name, std::string& error);

} // namespace ControlSocket
