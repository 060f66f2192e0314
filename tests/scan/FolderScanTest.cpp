#include "scan/FolderScan.h"

#include "tests/ParamName.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lmvo {
namespace {

// Builds a folder tree below `root` from relative paths: "a/b/" makes a folder, "l -> target"
// a symbolic link, anything else an empty file; missing parents are made on the way.
void makeTree(const std::string& root, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        const auto arrow = entry.find(" -> ");
        const fs::path p = fs::path(root) / entry.substr(0, arrow);
        fs::create_directories(entry.back() == '/' ? p : p.parent_path());
        if (arrow != std::string::npos)
            fs::create_symlink(entry.substr(arrow + 4), p);
        else if (entry.back() != '/')
            std::fclose(std::fopen(p.c_str(), "w"));
    }
}

// The names of a folder in the order the file system lists them.
std::vector<std::string> listing(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        throw std::runtime_error("cannot list " + dir);
    while (const dirent* e = ::readdir(d))
        if (std::string n = e->d_name; n != "." && n != "..")
            names.push_back(n);
    ::closedir(d);
    return names;
}

// The expected scan result: `relative` paths below `root` in depth-first listing order, that
// is ordered component by component by each component's place in its folder's listing.
std::vector<std::string> inListingOrder(const std::string& root, std::vector<std::string> relative)
{
    std::map<std::string, std::vector<std::size_t>> ranks;
    for (const std::string& rel : relative) {
        std::string dir = root;
        std::vector<std::size_t>& r = ranks[rel];
        for (const auto& part : fs::path(rel)) {
            const auto names = listing(dir);
            r.push_back(std::size_t(std::find(names.begin(), names.end(), part.string()) - names.begin()));
            dir += "/" + part.string();
        }
    }
    std::sort(relative.begin(), relative.end(), [&](const auto& a, const auto& b) { return ranks[a] < ranks[b]; });
    for (std::string& rel : relative)
        rel = root + "/" + rel;
    return relative;
}

// The result of a scan as one text, so a forked child can hand it back: the paths one a line,
// or the error with its code.
std::string scanText(const std::string& folder, bool music = false)
{
    StringList list;
    try {
        music ? ScanMusicFiles(folder, list) : ScanPictureFiles(folder, list);
    } catch (const ScanError& e) {
        return "error " + std::to_string(e.code()) + ": " + e.what();
    }
    std::string text;
    for (const std::string& p : list)
        text += p + "\n";
    return text;
}

std::string joined(const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& p : paths)
        text += p + "\n";
    return text;
}

// Runs `body` in a forked child after `setup` and returns what the body returned.
std::string inChild(const std::function<void()>& setup, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        try {
            setup();
            out = body();
        } catch (const std::exception& e) {
            out = std::string("child failed: ") + e.what();
        }
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

// Permission bits do not stop root, so a child that checks them gives up root first.
void becomeNobody()
{
    if (::geteuid() != 0)
        return;
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
        throw std::runtime_error("cannot become nobody");
}

// ---------------------------------------------------------------------------------------------

struct PathCase {
    const char* path;
    const char* lastPart;
    const char* extension;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << '"' << c.path << '"';
}

class PathHelpers : public testing::TestWithParam<PathCase> {};

TEST_P(PathHelpers, SplitAsTheFolderRulesSay)
{
    EXPECT_EQ(LastPathPart(GetParam().path), GetParam().lastPart);
    EXPECT_EQ(FileExtension(GetParam().path), GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(Examples, PathHelpers, testing::Values(
    PathCase{"a/b/c.jpg", "c.jpg", ".jpg"},
    PathCase{"/a/b/", "b", ""},
    PathCase{"", "", ""},
    PathCase{"/", "", ""},
    PathCase{"//", "", ""},
    PathCase{"photo.JPG", "photo.JPG", ".JPG"},
    PathCase{"a.tar.gz", "a.tar.gz", ".gz"},
    PathCase{"dir/x.", "x.", "."},
    PathCase{"noext", "noext", ""},
    PathCase{"a.b/noext", "noext", ""},
    PathCase{"/pics.d/", "pics.d", ".d"},
    PathCase{"a//b.jpg/", "b.jpg", ".jpg"},
    PathCase{".hidden", ".hidden", ".hidden"}),
    [](const auto& info) {
        std::string spelt;
        for (const char* c = info.param.path; *c; ++c)
            spelt += *c == '/' ? " slash " : *c == '.' ? " dot " : std::string(1, *c);
        return test::testName(spelt);
    });

// ---------------------------------------------------------------------------------------------

struct ErrnoCase {
    int err;
    int code;
    const char* text;
};

void PrintTo(const ErrnoCase& c, std::ostream* os)
{
    *os << "errno " << c.err;
}

class ScanErrors : public testing::TestWithParam<ErrnoCase> {};

TEST_P(ScanErrors, CarryTheApplicationsTexts)
{
    const ScanError e = ScanError::fromErrno(GetParam().err);
    EXPECT_EQ(e.code(), GetParam().code);
    EXPECT_STREQ(e.what(), GetParam().text);
    EXPECT_EQ(e.systemError(), GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(ByErrno, ScanErrors, testing::Values(
    ErrnoCase{ENOENT, 2, "File not found"},
    ErrnoCase{ENOTDIR, 3, "Invalid filename"},
    ErrnoCase{EMFILE, 4, "Too many open files"},
    ErrnoCase{ENFILE, 4, "Too many open files"},
    ErrnoCase{EACCES, 5, "File access denied"},
    ErrnoCase{EPERM, 5, "File access denied"},
    ErrnoCase{ENOSPC, 101, "Disk full"},
    // An unnamed failure must not borrow the text of the named code that shares its number.
    ErrnoCase{EIO, EIO, "I/O error 5"},
    ErrnoCase{ELOOP, ELOOP, "I/O error 40"},
    ErrnoCase{ENAMETOOLONG, ENAMETOOLONG, "I/O error 36"}),
    [](const auto& info) { return std::string(strerrorname_np(info.param.err)); });

TEST(IoErrorText, NamesTheClassicCodes)
{
    EXPECT_EQ(ioErrorText(100), "Read beyond end of file");
    EXPECT_EQ(ioErrorText(101), "Disk full");
    EXPECT_EQ(ioErrorText(106), "Invalid numeric input");
    EXPECT_EQ(ioErrorText(7), "I/O error 7");
}

// ---------------------------------------------------------------------------------------------

struct Layout {
    const char* name;
    bool music;
    std::vector<std::string> tree;    // below the scanned folder "top"
    std::vector<std::string> outside; // below its sibling "outside", for links to reach
    std::vector<std::string> expected; // relative to "top", in any order
};

void PrintTo(const Layout& l, std::ostream* os)
{
    *os << l.name;
}

class ScanLayouts : public testing::TestWithParam<Layout> {};

TEST_P(ScanLayouts, ListDepthFirstInListingOrder)
{
    const Layout& l = GetParam();
    TempDir tmp;
    const std::string top = tmp.path() + "/top";
    fs::create_directory(top);
    makeTree(top, l.tree);
    makeTree(tmp.path() + "/outside", l.outside);
    StringList list;
    l.music ? ScanMusicFiles(top, list) : ScanPictureFiles(top, list);
    EXPECT_EQ(list, inListingOrder(top, l.expected));
}

INSTANTIATE_TEST_SUITE_P(Trees, ScanLayouts, testing::Values(
    Layout{"Mixed", false, {"b.JPG", "a.jpeg", "c.png", "s/d.jpg", "e.txt"}, {},
           {"a.jpeg", "b.JPG", "c.png", "s/d.jpg"}},
    // The other formats are whole extensions: no fragments, no trailing text, any ASCII case.
    Layout{"WholeExtensions", false,
           {"a.png", "b.GIF", "c.Tif", "d.TIFF", "e.webp", "f.HeIc", "g.heif", "h.AVIF", "i.bmp", "j.ico", ".png",
            "s/k.tiff", "l.JxL", "x.pn", "x.tif;", "x.tiffx", "x.webp.txt", "x.bm", "x.i", "x.png;.gif", "x.avi",
            "x.h\xc3\xa9ic", "png", "x.svg", "x.jx", "x.jxl2"},
           {}, {"a.png", "b.GIF", "c.Tif", "d.TIFF", "e.webp", "f.HeIc", "g.heif", "h.AVIF", "i.bmp", "j.ico", ".png",
                "s/k.tiff", "l.JxL", "x.png;.gif"}},
    Layout{"PictureFragments", false,
           {"x.jp", "x.j", "x.jpe", "x.JPEG", "x.jpg;", "x.", "a.tar.jpg", ".jpg", "x.jpg;.jpeg",
            "x.pg", "x.jpgx", "jpg", "x.jpeg.txt", ".hidden", "x.;", "x.g;", "x.jpeg;;"},
           {}, {"x.jp", "x.j", "x.jpe", "x.JPEG", "x.jpg;", "x.", "a.tar.jpg", ".jpg", "x.jpg;.jpeg"}},
    Layout{"MusicFragments", true,
           {"song.MID", "clip.m", "x.wav;", "x.mpe", "x.As", "x.dat", "x.mpeg", "x.wm", "x.", "x.mid;.wav",
            "song.mp4", "x.mp3x", "x.jpg", "mp3", "x.3;", "x.v;"},
           {}, {"song.MID", "clip.m", "x.wav;", "x.mpe", "x.As", "x.dat", "x.mpeg", "x.wm", "x.", "x.mid;.wav"}},
    Layout{"NestedAndHidden", false,
           {"a/b/c/d.jpg", "a/e.jpg", "f/", "g/.h/i.jpg", ".k/l.JPG", "m.jpg/n.txt", "m.jpg/o.jpeg", "p.jpg"},
           {}, {"a/b/c/d.jpg", "a/e.jpg", "g/.h/i.jpg", ".k/l.JPG", "m.jpg/o.jpeg", "p.jpg"}},
    Layout{"NativeBytes", false,
           {"\xff\xfe.jpg", "caf\xc3\xa9/\xe7\x85\xa7.JPG", "x.J\xc3\x89G", "y.\xc3\x8aPG"},
           {}, {"\xff\xfe.jpg", "caf\xc3\xa9/\xe7\x85\xa7.JPG"}},
    Layout{"EmptyFolders", false, {"e/", "f/g/"}, {}, {}},
    Layout{"LinkToFolderElsewhere", false, {"a.jpg", "pics -> ../outside"}, {"b.jpg", "sub/c.jpg"},
           {"a.jpg", "pics/b.jpg", "pics/sub/c.jpg"}},
    Layout{"LinkLoops", false, {"a/x.jpg", "a/up -> ..", "a/self -> .", "b/loop -> ../b", "y.jpg"}, {},
           {"a/x.jpg", "y.jpg"}},
    Layout{"LoopThroughAnotherFolder", false, {"a.jpg", "o -> ../outside"}, {"b.jpg", "back -> ../top"},
           {"a.jpg", "o/b.jpg"}},
    Layout{"TwoLinksToOneFolder", false, {"p -> ../outside", "q -> ../outside"}, {"b.jpg"},
           {"p/b.jpg", "q/b.jpg"}},
    Layout{"LinksToFiles", false, {"a.jpg", "l.jpg -> a.jpg", "dead.jpg -> nowhere", "m -> a.jpg"}, {},
           {"a.jpg", "l.jpg", "dead.jpg"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderScan, WithoutSubfoldersListsTheFolderOwnFilesOnly)
{
    TempDir tmp;
    const std::string top = tmp.path() + "/top";
    makeTree(top, {"a.jpg", "s/b.jpg", "d.jpg/c.jpg", "pics -> ../outside", "l.jpg -> a.jpg"});
    makeTree(tmp.path() + "/outside", {"e.jpg"});
    StringList list;
    ScanPictureFiles(top, list, Subfolders::Excluded);
    EXPECT_EQ(list, inListingOrder(top, {"a.jpg", "l.jpg"}));
}

// ---------------------------------------------------------------------------------------------

class ScanFolderText : public testing::Test {
protected:
    void SetUp() override
    {
        top = tmp.path() + "/top";
        makeTree(top, {"a.jpg", "s/b.jpg", "c.jpeg"});
        full = scanText(top);
    }
    TempDir tmp;
    std::string top;
    std::string full;
};

TEST_F(ScanFolderText, TrailingSeparatorsChangeNothing)
{
    EXPECT_EQ(full, joined(inListingOrder(top, {"a.jpg", "s/b.jpg", "c.jpeg"})));
    EXPECT_EQ(scanText(top + "/"), full);
    EXPECT_EQ(scanText(top + "//"), full);
}

TEST_F(ScanFolderText, RootListsEntriesBelowTheSlash)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a root folder can only be arranged with chroot, which needs root";
    std::string inside;
    for (const std::string& p : inListingOrder(top, {"a.jpg", "s/b.jpg", "c.jpeg"}))
        inside += p.substr(top.size()) + "\n";
    const auto chroot = [&] {
        if (::chroot(top.c_str()) != 0 || ::chdir("/") != 0)
            throw std::runtime_error("chroot failed");
    };
    EXPECT_EQ(inChild(chroot, [] { return scanText("/"); }), inside);
    EXPECT_EQ(inChild(chroot, [] { return scanText("//"); }), inside);
}

TEST_F(ScanFolderText, MissingFolderIsFileNotFound)
{
    EXPECT_EQ(scanText(top + "/nothing"), "error 2: File not found");
    EXPECT_EQ(scanText(top + "/nothing/"), "error 2: File not found");
    EXPECT_EQ(scanText(""), "error 2: File not found");
}

TEST_F(ScanFolderText, PathThroughAFileIsInvalidFilename)
{
    EXPECT_EQ(scanText(top + "/a.jpg"), "error 3: Invalid filename");
    EXPECT_EQ(scanText(top + "/a.jpg/s"), "error 3: Invalid filename");
}

TEST_F(ScanFolderText, ScansOnlyAppend)
{
    StringList list{"kept"};
    ScanPictureFiles(top, list);
    ScanPictureFiles(top + "/", list);
    EXPECT_EQ(joined(list), "kept\n" + full + full);
    EXPECT_THROW(ScanPictureFiles(top + "/nothing", list), ScanError);
    EXPECT_EQ(joined(list), "kept\n" + full + full);
}

TEST_F(ScanFolderText, LeavesTheCurrentFolderAlone)
{
    const fs::path before = fs::current_path();
    (void)scanText(top);
    (void)scanText(top + "/nothing");
    EXPECT_EQ(fs::current_path(), before);
}

// ---------------------------------------------------------------------------------------------

struct Locked {
    const char* name;
    std::vector<std::string> tree;
    std::vector<std::pair<std::string, int>> modes; // folder below the temp folder, its mode
    const char* scanned;                           // below the temp folder
    std::vector<std::string> expected;             // below the scanned folder
    const char* error;                             // or the error the scan raises
};

void PrintTo(const Locked& l, std::ostream* os)
{
    *os << l.name;
}

class LockedFolders : public testing::TestWithParam<Locked> {};

TEST_P(LockedFolders, AreEnteredAndListedAsPermissionsAllow)
{
    const Locked& l = GetParam();
    TempDir tmp;
    makeTree(tmp.path(), l.tree);
    const std::string scanned = tmp.path() + "/" + l.scanned;
    // The expected order is read while everything is still open.
    const std::string expected = l.error ? l.error : joined(inListingOrder(scanned, l.expected));
    for (const auto& [folder, mode] : l.modes)
        fs::permissions(tmp.path() + "/" + folder, fs::perms(mode));
    EXPECT_EQ(inChild(becomeNobody, [&] { return scanText(scanned); }), expected);
}

INSTANTIATE_TEST_SUITE_P(Permissions, LockedFolders, testing::Values(
    Locked{"EnterableNotListable", {"top/a.jpg"}, {{"top", 0311}}, "top", {}, nullptr},
    Locked{"ListableNotEnterable", {"top/a.jpg"}, {{"top", 0644}}, "top", {}, "error 5: File access denied"},
    Locked{"BehindAClosedFolder", {"p/top/a.jpg"}, {{"p", 0700}}, "p/top", {}, "error 5: File access denied"},
    Locked{"ClosedSubfoldersYieldNothing",
           {"top/a.jpg", "top/closed/b.jpg", "top/unlistable/c.jpg", "top/unenterable/d.jpg", "top/z/e.jpg"},
           {{"top/closed", 0000}, {"top/unlistable", 0311}, {"top/unenterable", 0644}}, "top",
           {"a.jpg", "z/e.jpg"}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FolderScan, RunningOutOfDescriptorsEndsTheScan)
{
    TempDir tmp;
    std::string deep = "top";
    for (int i = 0; i < 40; ++i)
        deep += "/d";
    makeTree(tmp.path(), {deep + "/x.jpg"});
    const auto fewDescriptors = [] {
        rlimit lim{};
        ::getrlimit(RLIMIT_NOFILE, &lim);
        // Room for what is open now and a few levels of the walk, not for forty.
        std::size_t open = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd"))
            ++open;
        lim.rlim_cur = open + 8;
        if (::setrlimit(RLIMIT_NOFILE, &lim) != 0)
            throw std::runtime_error("setrlimit failed");
    };
    EXPECT_EQ(inChild(fewDescriptors, [&] { return scanText(tmp.path() + "/top"); }),
              "error 4: Too many open files");
}

} // namespace
} // namespace lmvo
