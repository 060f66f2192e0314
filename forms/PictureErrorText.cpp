#include "forms/PictureErrorText.h"

#include <QCoreApplication>
#include <QFile>

namespace lmvo {
namespace {

constexpr char Context[] = "lmvo::PictureError";

struct Reason {
    PictureProblem problem;
    const char* text;
};

// The plain reasons, first in every message about a picture.
constexpr Reason Reasons[] = {
    {PictureProblem::Damaged, QT_TRANSLATE_NOOP("lmvo::PictureError", "文件已损坏，或不是图片")},
    {PictureProblem::Removed, QT_TRANSLATE_NOOP("lmvo::PictureError", "文件已被删除")},
    {PictureProblem::Unreadable, QT_TRANSLATE_NOOP("lmvo::PictureError", "无法读取文件")},
    {PictureProblem::NotAFile, QT_TRANSLATE_NOOP("lmvo::PictureError", "这是文件夹或设备，不是文件")},
    {PictureProblem::UnknownType, QT_TRANSLATE_NOOP("lmvo::PictureError", "不能显示这种类型的文件")},
    {PictureProblem::Unsupported, QT_TRANSLATE_NOOP("lmvo::PictureError", "不能显示这种图片")},
    {PictureProblem::TooLarge, QT_TRANSLATE_NOOP("lmvo::PictureError", "图片太大，无法显示")},
    {PictureProblem::NoMemory, QT_TRANSLATE_NOOP("lmvo::PictureError", "内存不足，无法显示图片")},
    {PictureProblem::TooCostly, QT_TRANSLATE_NOOP("lmvo::PictureError", "图片太大或损坏过重，无法显示")},
    {PictureProblem::DecoderStopped, QT_TRANSLATE_NOOP("lmvo::PictureError", "图片的解码程序意外停止")},
    {PictureProblem::NotShown, QT_TRANSLATE_NOOP("lmvo::PictureError", "无法显示图片")},
};
// A damaged file whose decoder says what it should have been.
const char* const DamagedFormat = QT_TRANSLATE_NOOP("lmvo::PictureError", "文件已损坏，或不是 %1 图片");
// The file in straight quotes, which no language's punctuation around it is mistaken for.
const char* const WithDetail = QT_TRANSLATE_NOOP("lmvo::PictureError", "%1：\"%2\"（%3）");
const char* const WithoutDetail = QT_TRANSLATE_NOOP("lmvo::PictureError", "%1：\"%2\"");

QString translated(const char* text) { return QCoreApplication::translate(Context, text); }

QString reasonOf(const PictureError& error)
{
    if (error.problem() == PictureProblem::Damaged && !error.format().empty())
        return translated(DamagedFormat).arg(QString::fromStdString(error.format()));
    for (const Reason& r : Reasons)
        if (r.problem == error.problem())
            return translated(r.text);
    return translated(Reasons[0].text);
}

} // namespace

QString pictureErrorText(const PictureError& error)
{
    const QString reason = reasonOf(error);
    const QString file = QFile::decodeName(QByteArray::fromStdString(error.file()));
    if (error.detail().empty())
        return translated(WithoutDetail).arg(reason, file);
    return translated(WithDetail).arg(reason, file, QString::fromLocal8Bit(error.detail()));
}

} // namespace lmvo
