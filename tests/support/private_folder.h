#pragma once
// A new folder of this process under the system's temporary folder, named by the process
// id and a count: create_directory fails on a name already there, so two runs never share
// one. Portable where mkdtemp is not (MinGW has none).
#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace testsupport {

inline long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

// An empty path when no folder could be made.
inline std::filesystem::path MakePrivateFolder(const std::string& prefix) {
    static std::atomic<unsigned> next{0};
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec)
        return {};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::filesystem::path path =
            base / (prefix + "-" + std::to_string(ProcessId()) + "-" + std::to_string(next++));
        if (std::filesystem::create_directory(path, ec))
            return path;
        if (ec)
            return {};
    }
    return {};
}

}  // namespace testsupport
