#pragma once

// The system-wide notification centre. A notification is a bare name; posting it reaches every
// observer of that name in every process of the same device (the poster's own process included),
// and nothing outside that device.
//
// Delivery: each process has one datagram socket. Only datagrams whose kernel credentials name this
// process's user are delivered; others are dropped, and the first of them is logged. Observers are called on
// the thread that calls dispatchPending(); the process's main run loop does so whenever the socket is
// readable, so in a running host observers run on the main thread as on the device.

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

struct msghdr;

using CFNotificationCallback = void (*)(void* center, void* observer, const char* name, const void* object,
                                        const void* userInfo);

class DarwinNotificationCenter {
public:
    using Callback = std::function<void(const std::string& name)>;

    // The centre of this process (one per process, as on the device), bound to the current device
    // root at first use.
    static DarwinNotificationCenter& shared();

    DarwinNotificationCenter(const DarwinNotificationCenter&) = delete;
    DarwinNotificationCenter& operator=(const DarwinNotificationCenter&) = delete;
    ~DarwinNotificationCenter();

    // Answers a token for removeObserver. Names longer than maxNameLength are refused (token 0).
    int addObserver(std::string_view name, Callback callback);
    void removeObserver(int token);
    // The C interface's observer: added once per observer, callback, name and object, as the device
    // keeps them; answers whether this call added it. The record belongs to this centre, so a
    // centre made afresh (another device, a forked child) starts with none.
    bool addCallbackObserver(const void* observer, CFNotificationCallback callback, std::string_view name,
                             const void* object);

    // Sends the name to every process of the device. Answers false when it could not be sent at all.
    bool post(std::string_view name);
    // Told of every name this process posts (a host writes it to its trace).
    void setPostObserver(Callback observer);

    // Readable while notifications wait to be delivered; -1 when the centre could not start.
    int fileDescriptor() const { return m_socket; }
    // Delivers every notification that has arrived, in order. Answers how many names arrived.
    int dispatchPending();
    // Waits up to timeoutMs for at least one notification, then delivers what has arrived.
    int waitAndDispatch(int timeoutMs);

    static constexpr size_t maxNameLength = 1024;

private:
    DarwinNotificationCenter();
    bool start();
    void advertise();
    std::string socketName(long pid) const;
    bool fromThisUser(const msghdr& message);

    mutable std::mutex m_lock;
    int m_socket = -1;
    std::string m_root;
    std::string m_rootIdentity; // device and inode of the root folder
    std::string m_registry;     // host folder holding one marker file per listening process
    bool m_advertised = false;
    bool m_strangerLogged = false;
    int m_nextToken = 1;
    Callback m_postObserver;
    std::multimap<std::string, std::pair<int, Callback>, std::less<>> m_observers;
    std::set<std::tuple<const void*, CFNotificationCallback, std::string, const void*>> m_callbackObservers;
};

// The device's C interface, for product code written against it. Adding the same observer and
// callback for the same name and object again changes nothing: each posting calls it once.
DarwinNotificationCenter* CFNotificationCenterGetDarwinNotifyCenter();
void CFNotificationCenterAddObserver(DarwinNotificationCenter* center, const void* observer,
                                     CFNotificationCallback callback, const char* name, const void* object,
                                     int suspensionBehavior);
void CFNotificationCenterPostNotification(DarwinNotificationCenter* center, const char* name,
                                          const void* object, const void* userInfo, bool deliverImmediately);
