#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include <stdlib.h>

namespace lmvo {

// A scratch folder that every user can pass through, removed with everything in it, whatever
// bytes its entries are named with (Qt's QTemporaryDir cannot remove a name that is not UTF-8).
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lmvo-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        reopen(path_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    // Folders a test locked must be opened again before they can be emptied by a non-root user.
    static void reopen(const std::filesystem::path& dir)
    {
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms(0755), ec);
        for (const auto& e : std::filesystem::directory_iterator(dir, ec))
            if (e.is_directory(ec) && !e.is_symlink(ec))
                reopen(e.path());
    }

    std::string path_;
};

} // namespace lmvo
