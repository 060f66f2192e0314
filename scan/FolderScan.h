#pragma once

// Path helpers and the recursive folder scans that collect the files a show plays.
//
// Paths are the file system's native bytes, folders separated by '/'. Nothing here depends on
// the locale or changes the process's current folder, so a scan may run beside other threads.

#include "scan/SharedState.h"

#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lmvo {

// Accepted extensions, each with its dot and followed by ';'. A file is taken when its
// lower-cased extension occurs anywhere in the text, so leading fragments such as ".jp" or ".m"
// are taken as well: the list text is the rule, not its entries.
inline constexpr std::string_view PictureExtensions = ".jpg;.jpeg;";
// The picture formats the show takes besides those of `PictureExtensions`, each matched as a
// whole extension with its dot, ASCII case ignored: ".png" takes "a.PNG" but neither "a.pn"
// nor "a.pngx".
inline constexpr std::array<std::string_view, 11> PictureWholeExtensions{
    ".png", ".gif", ".tif", ".tiff", ".webp", ".heic", ".heif", ".avif", ".jxl", ".bmp", ".ico",
};
inline constexpr std::string_view MusicExtensions =
    ".mp3;.wma;.dat;.wmv;.mpg;.mpeg;.asf;.asx;.avi;.mid;.wav;";

// The application's I/O error texts by code: "File not found" (2), "Invalid filename" (3),
// "Too many open files" (4), "File access denied" (5), "Read beyond end of file" (100),
// "Disk full" (101), "Invalid numeric input" (106), otherwise "I/O error <code>".
[[nodiscard]] std::string ioErrorText(int code);

// A folder scan that failed. `code()` is the application's I/O error code for the failures it
// names (a missing folder 2, a path through something that is not a folder 3, no descriptors
// left 4, access refused 5, no space 101); any other failure keeps the system's errno as its
// code and reads "I/O error <errno>", even where that number equals a named code (EIO reads
// "I/O error 5", not "File access denied"). `systemError()` is always the errno.
class ScanError : public std::runtime_error {
public:
    [[nodiscard]] static ScanError fromErrno(int err);

    [[nodiscard]] int code() const noexcept { return code_; }
    [[nodiscard]] int systemError() const noexcept { return systemError_; }

private:
    ScanError(int code, int systemError, const std::string& text);

    int code_;
    int systemError_;
};

// The part after the last '/': one leading and then one trailing '/' are dropped first, so
// "a/b/c.jpg" gives "c.jpg", "/a/b/" gives "b" and "" gives "".
[[nodiscard]] std::string LastPathPart(const std::string& Path);

// The extension of the last path part with its dot ("photo.JPG" gives ".JPG", "a.tar.gz" gives
// ".gz", "x." gives "."), or "" when that part holds no dot.
[[nodiscard]] std::string FileExtension(const std::string& Name);

// Whether a file name passes the extension test against `extensions`: its extension, lower-cased
// for A-Z only, is not empty and occurs in `extensions` as a plain substring.
[[nodiscard]] bool acceptsExtension(std::string_view name, std::string_view extensions);

// The test a scan puts each file name to: the substring rule of `listed`, or equality with one
// of the `whole` extensions.
struct ExtensionRule {
    std::string_view listed;
    std::span<const std::string_view> whole{};

    [[nodiscard]] bool accepts(std::string_view name) const;
};
inline constexpr ExtensionRule PictureRule{PictureExtensions, PictureWholeExtensions};

// Whether a scan descends into subfolders (links to folders included) or lists only the
// folder's own files.
enum class Subfolders { Included, Excluded };

// Appends to `List` the full path of every file below `Folder` (with all its subfolders, links
// to folders included, unless `subfolders` excludes them) whose name passes the extension test
// (`PictureRule` for pictures). The order is depth-first in the
// order the file system lists each folder: a subfolder's files appear where the subfolder was
// met. Hidden files count, duplicates are kept, and `List` is only appended to.
//
// One trailing '/' of `Folder` is dropped ("/" still scans the root and lists "/name"). A folder
// already on the current path of the walk (reached again through a link) is skipped, so link
// loops end. A subfolder that cannot be entered or listed yields nothing, and so does `Folder`
// itself when it can be entered but not listed. Throws ScanError when `Folder` cannot be
// entered, and when the system runs out of descriptors or memory anywhere in the walk (the
// paths appended until then stay in `List`).
void ScanPictureFiles(const std::string& Folder, StringList& List,
                      Subfolders subfolders = Subfolders::Included);
void ScanMusicFiles(const std::string& Folder, StringList& List,
                    Subfolders subfolders = Subfolders::Included);
// The same walk with any extension rule.
void scanFiles(const std::string& folder, const ExtensionRule& rule, StringList& list,
               Subfolders subfolders = Subfolders::Included);

} // namespace lmvo
