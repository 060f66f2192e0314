// What a user reads about a picture that cannot be shown: the plain reason first, then the
// file in straight quotes, then the library's or the system's own words; in English as in
// Chinese.
#include "decoder/DecoderClient.h"
#include "forms/PictureErrorText.h"
#include "tests/ParamName.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>

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
    const char* reason; // in English
    const char* detail; // words that follow the file
};

const BrokenFile BrokenFiles[] = {
    {"text saved as JPEG", "photo.jpg", std::string(300, 'x'), PictureProblem::Damaged,
     "The file is damaged or is not a JPEG picture", "Not a JPEG file"},
    {"empty JPEG", "empty.JPEG", std::string(), PictureProblem::Damaged, "The file is damaged or is not a JPEG picture",
     "Empty input file"},
    {"cut BMP", "icon.bmp", std::string("BM\x10\0\0\0", 6), PictureProblem::Damaged,
     "The file is damaged or is not a BMP picture", ""},
    {"cut PNG", "scan.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10), PictureProblem::Damaged,
     "The file is damaged or is not a PNG picture", ""},
    {"removed file", "gone.jpg", std::nullopt, PictureProblem::Removed, "The file was removed", "No such file"},
    {"folder", "album.jpg", std::string(Folder), PictureProblem::NotAFile, "This is a folder or a device, not a file",
     "folder"},
    {"unknown extension", "notes.txt", std::string("x"), PictureProblem::UnknownType,
     "Files of this type cannot be shown", "(.txt)"},
};

class PictureErrorTextTest : public ::testing::TestWithParam<BrokenFile> {};

TEST_P(PictureErrorTextTest, ReasonFirstThenTheFileThenTheDetail)
{
    const BrokenFile& row = GetParam();
    QTemporaryDir dir;
    const std::string path = (fs::path(dir.path().toStdString()) / row.file).string();
    if (row.content == Folder)
        fs::create_directory(path);
    else if (row.content)
        std::ofstream(path, std::ios::binary) << *row.content;
    std::optional<PictureError> error;
    try {
        (void)decodeFile(path);
    } catch (const PictureError& e) {
        error = e;
    }
    ASSERT_TRUE(error) << "loaded";
    EXPECT_EQ(error->problem(), row.problem) << error->what();
    EXPECT_EQ(error->file(), path);

    const QString file = QString::fromStdString(path);
    const QString chinese = pictureErrorText(*error);
    EXPECT_TRUE(chinese.contains(QStringLiteral("：\"") + file + QStringLiteral("\""))) << chinese.toStdString();

    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/lumivo_en.qm")));
    QCoreApplication::installTranslator(&english);
    const QString text = pictureErrorText(*error);
    QCoreApplication::removeTranslator(&english);
    const QString start = QString::fromUtf8(row.reason) + QStringLiteral(": \"") + file + QStringLiteral("\"");
    EXPECT_TRUE(text.startsWith(start)) << text.toStdString();
    EXPECT_TRUE(text.indexOf(QString::fromUtf8(row.detail), start.size()) >= 0) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BrokenFiles, PictureErrorTextTest, ::testing::ValuesIn(BrokenFiles),
                         [](const auto& info) { return test::testName(info.param.name); });

} // namespace
} // namespace lmvo
