#include "tools/SourceWatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t events = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ONLYDIR;
// Subfolder depth and count of a source tree: past these something is wrong (a loop of links).
constexpr size_t maxFolders = 4096;

} // namespace

SourceWatch::~SourceWatch() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SourceWatch::isSourceName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.back() == '~' || name[0] == '#')
        return false;
    // vim's probe of whether a folder can be written.
    if (name == "4913")
        return false;
    for (const char* scratch : {".swp", ".swx", ".tmp", ".part"})
        if (name.ends_with(scratch))
            return false;
    return true;
}

bool SourceWatch::watch(const std::string& base, const std::string& folder, std::string& error) {
    if (m_fd < 0) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) {
            error = std::string("inotify: ") + std::strerror(errno);
            return false;
        }
    }
    m_base = base;
    std::error_code failure;
    if (!std::filesystem::is_directory(folder, failure)) {
        error = "no folder " + folder;
        return false;
    }
    addFolder(folder);
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, failure);
         !failure && it != std::filesystem::recursive_directory_iterator(); it.increment(failure)) {
        if (it->is_directory(failure) && !it->is_symlink(failure) &&
            isSourceName(it->path().filename().string()))
            addFolder(it->path().string());
        else if (it->is_directory(failure))
            it.disable_recursion_pending();
    }
    return true;
}

void SourceWatch::addFolder(const std::string& path) {
    if (m_folders.size() >= maxFolders)
        return;
    int wd = ::inotify_add_watch(m_fd, path.c_str(), events);
    if (wd < 0)
        return;
    auto known =
        std::find_if(m_folders.begin(), m_folders.end(), [wd](const auto& f) { return f.first == wd; });
    if (known == m_folders.end())
        m_folders.emplace_back(wd, path);
    else
        known->second = path;
}

bool SourceWatch::readEvents(std::set<std::string>& changed) {
    alignas(inotify_event) char buffer[16384];
    bool any = false;
    for (;;) {
        ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            return any;
        any = true;
        for (ssize_t at = 0; at < got;) {
            auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            auto folder = std::find_if(m_folders.begin(), m_folders.end(),
                                       [&](const auto& f) { return f.first == event->wd; });
            if (folder == m_folders.end() || event->len == 0)
                continue;
            std::string name = event->name;
            if (!isSourceName(name))
                continue;
            std::string path = folder->second + "/" + name;
            if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO))) {
                // A new folder may already hold files (unpacked, moved in): watched, and its files are news.
                std::string ignored;
                watch(m_base, path, ignored);
                std::error_code failure;
                for (auto it = std::filesystem::recursive_directory_iterator(path, failure);
                     !failure && it != std::filesystem::recursive_directory_iterator(); it.increment(failure))
                    if (it->is_regular_file(failure))
                        changed.insert(std::filesystem::relative(it->path(), m_base).string());
                continue;
            }
            if (event->mask & IN_ISDIR)
                continue;
            // A file made empty is not written yet: its close after writing is what counts.
            if ((event->mask & IN_CREATE) && !(event->mask & IN_CLOSE_WRITE))
                continue;
            changed.insert(std::filesystem::path(path).lexically_relative(m_base).string());
        }
    }
}

std::set<std::string> SourceWatch::takeBurst(std::chrono::milliseconds quiet) {
    std::set<std::string> changed;
    if (!readEvents(changed))
        return changed;
    // Until the saves stop: each event starts the quiet time again.
    for (;;) {
        pollfd ready{m_fd, POLLIN, 0};
        int got = ::poll(&ready, 1, static_cast<int>(quiet.count()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !readEvents(changed))
            return changed;
    }
}
