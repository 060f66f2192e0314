#include "scan/FolderScan.h"

#include "base/Ascii.h"
#include "base/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lmvo {

namespace {

struct IoErrorText {
    int code;
    const char* text;
};

constexpr IoErrorText ioErrorTexts[] = {
    {2, "File not found"},
    {3, "Invalid filename"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {100, "Read beyond end of file"},
    {101, "Disk full"},
    {106, "Invalid numeric input"},
};

// The failures the application names, by the errno that reports them on this system.
struct NamedErrno {
    int err;
    int code;
};

constexpr NamedErrno namedErrnos[] = {
    {ENOENT, 2},  // the folder does not exist
    {ENOTDIR, 3}, // a part of the path is not a folder
    {EMFILE, 4},  {ENFILE, 4},
    {EACCES, 5},  {EPERM, 5},
    {ENOSPC, 101},
};

// Failures of the system rather than of one folder: a walk that passed over them would return
// a list silently missing whole subtrees.
bool isExhaustion(int err)
{
    return err == EMFILE || err == ENFILE || err == ENOMEM;
}

// The extension of a file name with its dot, as FileExtension gives it; "" without one.
std::string extensionOfName(std::string_view name)
{
    if (name.find('/') != std::string_view::npos)
        return FileExtension(std::string(name));
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

bool extensionListed(std::string_view extension, std::string_view extensions)
{
    if (extension.empty() || extension.size() > extensions.size())
        return false;
    return extensions.find(asciiLower(extension)) != std::string_view::npos;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

int openAt(int at, const char* name, int flags)
{
    int fd;
    do
        fd = ::openat(at, name, flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// 0 when the folder open as `fd` may be entered by this process (search permission for its
// effective ids, as changing into it would need), else the errno.
int enterError(int fd)
{
    return ::faccessat(fd, ".", X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

struct FolderId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FolderId&) const = default;
};

// A folder opened for the walk. `error` is the errno of a folder that cannot be entered;
// without an error, `listing` is empty for a folder that can be entered but not listed.
struct OpenedFolder {
    DirStream listing;
    FolderId id{};
    int error = 0;
};

OpenedFolder failed(int err)
{
    OpenedFolder f;
    f.error = err;
    return f;
}

// Opens `name` relative to the folder `at` without changing the current folder, with the
// errors that entering it would give.
OpenedFolder openFolder(int at, const char* name)
{
    UniqueFd fd(openAt(at, name, O_RDONLY | O_DIRECTORY));
    if (!fd) {
        const int err = errno;
        if (err != EACCES && err != EPERM)
            return failed(err);
        // Reading may be all that is refused: such a folder yields nothing, while one that
        // cannot be reached or entered is an error.
        UniqueFd path(openAt(at, name, O_PATH | O_DIRECTORY));
        if (!path)
            return failed(errno);
        return failed(enterError(path.get()));
    }
    if (const int err = enterError(fd.get()))
        return failed(err);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return failed(errno);
    OpenedFolder f;
    f.id = {st.st_dev, st.st_ino};
    f.listing.reset(::fdopendir(fd.get()));
    if (!f.listing)
        return failed(errno);
    static_cast<void>(fd.release()); // the listing owns it now
    return f;
}

// True when the entry is a folder. Links and entries of unknown type are looked up, so a link
// to a folder counts as a folder; a link that leads nowhere counts as a file.
bool isFolderEntry(int dirFd, const dirent& e)
{
    switch (e.d_type) {
    case DT_DIR:
        return true;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat st;
        return ::fstatat(dirFd, e.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    default:
        return false;
    }
}

bool isDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// One depth-first walk, kept on a stack of open folders rather than the call stack, so the
// depth of a tree is bounded by the descriptors the process may hold, which raises a ScanError,
// and never by a stack overflow. The stack runs from the chosen folder down to the one being
// listed; a link back to any folder on it is recognised by the folder's identity.
class FolderWalk {
public:
    FolderWalk(const ExtensionRule& rule, StringList& list, Subfolders subfolders)
        : rule_(rule), list_(list), subfolders_(subfolders)
    {
    }

    void run(const std::string& folder)
    {
        std::string dir = folder;
        if (!dir.empty() && dir.back() == '/')
            dir.pop_back();
        // The root keeps its '/' for opening; its entries are listed as "" + "/" + name.
        OpenedFolder f = openFolder(AT_FDCWD, dir.empty() ? folder.c_str() : dir.c_str());
        if (f.error)
            throw ScanError::fromErrno(f.error);
        if (!f.listing)
            return;
        path_ = std::move(dir);
        path_.reserve(path_.size() + 512);
        push(std::move(f));
        while (!stack_.empty())
            step();
    }

private:
    struct Level {
        OpenedFolder folder;
        std::size_t base; // length of the folder's path text with its '/'
    };

    void push(OpenedFolder&& f)
    {
        for (const Level& l : stack_)
            if (l.folder.id == f.id)
                return;
        // A folder text that still ends in '/' ("//" for the root) gets no second one.
        if (path_.empty() || path_.back() != '/')
            path_ += '/';
        stack_.push_back({std::move(f), path_.size()});
    }

    // Handles the next entry of the innermost folder, or leaves that folder when it has none.
    void step()
    {
        Level& level = stack_.back();
        DIR* listing = level.folder.listing.get();
        const dirent* e = ::readdir(listing);
        while (e && isDotOrDotDot(e->d_name))
            e = ::readdir(listing);
        if (!e) {
            stack_.pop_back();
            return;
        }
        path_.resize(level.base);
        path_ += e->d_name;
        const int fd = ::dirfd(listing);
        if (isFolderEntry(fd, *e)) {
            if (subfolders_ == Subfolders::Included)
                enter(fd, e->d_name);
        } else if (rule_.accepts(e->d_name))
            list_.push_back(path_);
    }

    void enter(int parentFd, const char* name)
    {
        OpenedFolder f = openFolder(parentFd, name);
        if (f.error && isExhaustion(f.error)) {
            // Give the descriptors back before the error is built and reported.
            stack_.clear();
            throw ScanError::fromErrno(f.error);
        }
        if (f.listing)
            push(std::move(f));
    }

    ExtensionRule rule_;
    StringList& list_;
    Subfolders subfolders_;
    std::string path_; // path of the entry at hand
    std::vector<Level> stack_;
};

} // namespace

std::string ioErrorText(int code)
{
    for (const IoErrorText& t : ioErrorTexts)
        if (t.code == code)
            return t.text;
    return "I/O error " + std::to_string(code);
}

ScanError::ScanError(int code, int systemError, const std::string& text)
    : std::runtime_error(text), code_(code), systemError_(systemError)
{
}

ScanError ScanError::fromErrno(int err)
{
    for (const NamedErrno& n : namedErrnos)
        if (n.err == err)
            return ScanError(n.code, err, ioErrorText(n.code));
    return ScanError(err, err, "I/O error " + std::to_string(err));
}

std::string LastPathPart(const std::string& Path)
{
    std::string s = Path;
    if (!s.empty() && s.front() == '/')
        s.erase(0, 1);
    if (!s.empty() && s.back() == '/')
        s.pop_back();
    if (const auto slash = s.rfind('/'); slash != std::string::npos)
        s.erase(0, slash + 1);
    return s;
}

std::string FileExtension(const std::string& Name)
{
    std::string n = LastPathPart(Name);
    const auto dot = n.rfind('.');
    return dot == std::string::npos ? std::string() : n.substr(dot);
}

bool acceptsExtension(std::string_view name, std::string_view extensions)
{
    return extensionListed(extensionOfName(name), extensions);
}

bool ExtensionRule::accepts(std::string_view name) const
{
    const std::string extension = extensionOfName(name);
    if (extensionListed(extension, listed))
        return true;
    const std::string lower = asciiLower(extension);
    return std::find(whole.begin(), whole.end(), lower) != whole.end();
}

void scanFiles(const std::string& folder, const ExtensionRule& rule, StringList& list,
               Subfolders subfolders)
{
    FolderWalk(rule, list, subfolders).run(folder);
}

void ScanPictureFiles(const std::string& Folder, StringList& List, Subfolders subfolders)
{
    scanFiles(Folder, PictureRule, List, subfolders);
}

void ScanMusicFiles(const std::string& Folder, StringList& List, Subfolders subfolders)
{
    scanFiles(Folder, ExtensionRule{MusicExtensions}, List, subfolders);
}

} // namespace lmvo
