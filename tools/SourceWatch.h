#pragma once

// Watches source folders with inotify (no polling) and hands out what changed, a burst of saves at
// a time: an editor that writes a temporary file and renames it over the source, or several saves
// in quick succession, make one change. Folders made inside a watched one are watched too. Hidden
// files, backups (name~) and editors' scratch files are not sources and are ignored.

#include <chrono>
#include <set>
#include <string>
#include <vector>

class SourceWatch {
public:
    SourceWatch() = default;
    ~SourceWatch();
    SourceWatch(const SourceWatch&) = delete;
    SourceWatch& operator=(const SourceWatch&) = delete;

    // Watches the folder and every folder below it; names are reported relative to `base`. False
    // with error set when inotify cannot be used or the folder cannot be watched.
    bool watch(const std::string& base, const std::string& folder, std::string& error);
    // Readable when something happened.
    int descriptor() const { return m_fd; }

    // Reads what is ready and, once something changed, keeps reading until `quiet` passes with
    // nothing more: the source files changed in that burst (possibly none: only ignored files).
    std::set<std::string> takeBurst(std::chrono::milliseconds quiet);

    // Whether a file name is one a person edits as a source (not hidden, a backup or scratch file).
    static bool isSourceName(const std::string& name);

private:
    void addFolder(const std::string& path);
    // Reads the events ready now into `changed`; false when there were none.
    bool readEvents(std::set<std::string>& changed);

    int m_fd = -1;
    std::string m_base;
    std::vector<std::pair<int, std::string>> m_folders; // watch descriptor, path
};
