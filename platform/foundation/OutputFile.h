#pragma once

// A file a person names for the program to write (a picture, a recording): written beside the target
// under a temporary name and renamed over it only once complete, so the name never shows a part.
// The folder must exist already, and the target must be absent or a regular file: a device, a fifo
// or a folder at that path is refused, never replaced. The temporary (".NAME.zorvi-XXXXXX") is held
// by its writer while it works; one whose writer was killed is removed by the next output made in
// that folder.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class OutputFile {
public:
    // Checks the target and makes the temporary file; nullopt with error set when it cannot be written.
    static std::optional<OutputFile> create(const std::string& path, std::string& error);
    // Writes a whole file in one step.
    static bool write(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    // An output never committed leaves nothing behind.
    ~OutputFile();

    const std::string& path() const { return m_path; }
    // Where the contents go until commit (another writer, such as an encoder, may open it by name).
    const std::string& temporaryPath() const { return m_temporary; }
    int descriptor() const { return m_fd; }

    // Flushes the temporary file to disk and renames it over the target.
    bool commit(std::string& error);

private:
    OutputFile(std::string path, std::string temporary, int fd)
        : m_path(std::move(path)), m_temporary(std::move(temporary)), m_fd(fd) {}
    void discard();

    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
};
