// What a user reads about a picture that cannot be shown: the plain reason first, then the
// file, then the library's or the system's own words.
#include "decoder/DecoderClient.h"
#include "picture/PictureLoad.h"
#include "tests/ParamName.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace lmvo {
namespace {

namespace fs = std::filesystem;

constexpr char Folder[] = "<folder>";

struct BrokenFile {
    const char* name;
    const char* file;
    std::optional<std::string> content; // none: not there; Folder: a folder of that name
    PictureProblem problem;
    const char* format; // the format the reason names
    const char* detail; // words that follow the file
};

const BrokenFile BrokenFiles[] = {
    {"text saved as JPEG", "photo.jpg", std::string(300, 'x'), PictureProblem::Damaged, "JPEG", "Not a JPEG file"},
    {"empty JPEG", "empty.JPEG", std::string(), PictureProblem::Damaged, "JPEG", "Empty input file"},
    {"cut BMP", "icon.bmp", std::string("BM\x10\0\0\0", 6), PictureProblem::Damaged, "BMP", ""},
    {"cut PNG", "scan.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10), PictureProblem::Damaged, "PNG", ""},
    {"removed file", "gone.jpg", std::nullopt, PictureProblem::Removed, "", "No such file"},
    {"folder", "album.jpg", std::string(Folder), PictureProblem::NotAFile, "", "folder"},
    {"unknown extension", "notes.txt", std::string("x"), PictureProblem::UnknownType, "", "(.txt)"},
};

class PictureErrorTest : public ::testing::TestWithParam<BrokenFile> {};

TEST_P(PictureErrorTest, ReasonFirstThenTheFileThenTheDetail)
{
    const BrokenFile& row = GetParam();
    QTemporaryDir dir;
    const std::string path = (fs::path(dir.path().toStdString()) / row.file).string();
    if (row.content == Folder)
        fs::create_directory(path);
    else if (row.content)
        std::ofstream(path, std::ios::binary) << *row.content;
    try {
        (void)decodeFile(path);
        FAIL() << "loaded";
    } catch (const PictureError& e) {
        const std::string text = e.what();
        EXPECT_EQ(e.problem(), row.problem) << text;
        EXPECT_THAT(e.reason(), ::testing::HasSubstr(row.format));
        EXPECT_EQ(text.rfind(e.reason(), 0), 0u) << text;
        const std::size_t file = text.find(path);
        ASSERT_NE(file, std::string::npos) << text;
        EXPECT_GT(file, 0u);
        EXPECT_NE(text.find(row.detail, file + path.size()), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(BrokenFiles, PictureErrorTest, ::testing::ValuesIn(BrokenFiles),
                         [](const auto& info) { return test::testName(info.param.name); });

} // namespace
} // namespace lmvo
