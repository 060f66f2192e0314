#include "picture/PictureError.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <system_error>

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

QString reasonText(PictureProblem problem, const std::string& format)
{
    if (problem == PictureProblem::Damaged && !format.empty())
        return translated(DamagedFormat).arg(QString::fromStdString(format));
    for (const Reason& r : Reasons)
        if (r.problem == problem)
            return translated(r.text);
    return translated(Reasons[0].text);
}

std::string message(PictureProblem problem, const std::string& detail, const std::string& format,
                    const std::string& file)
{
    const QString reason = reasonText(problem, format);
    const QString name = QFile::decodeName(QByteArray::fromStdString(file));
    const QString text = detail.empty() ? translated(WithoutDetail).arg(reason, name)
                                        : translated(WithDetail).arg(reason, name, QString::fromLocal8Bit(detail));
    return text.toStdString();
}

PictureProblem problemOfErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PictureProblem::Removed;
    case ENOMEM: return PictureProblem::NoMemory;
    case EISDIR:
    case ENXIO:
    case ENODEV: return PictureProblem::NotAFile;
    default: return PictureProblem::Unreadable;
    }
}

} // namespace

PictureError::PictureError(const std::string& detail, PictureProblem problem, std::string format)
    : PictureError(detail, problem, detail, std::move(format), {})
{
}

PictureError::PictureError(const std::string& text, PictureProblem problem, std::string detail, std::string format,
                           std::string file)
    : std::runtime_error(text), problem_(problem), detail_(std::move(detail)), format_(std::move(format)),
      file_(std::move(file))
{
}

PictureError PictureError::fromErrno(int error)
{
    return PictureError(std::error_code(error, std::generic_category()).message(), problemOfErrno(error));
}

std::string PictureError::reason() const { return reasonText(problem_, format_).toStdString(); }

PictureError PictureError::about(const std::string& file, const std::string& expected) const
{
    const std::string& format = format_.empty() ? expected : format_;
    return {message(problem_, detail_, format, file), problem_, detail_, format, file};
}

} // namespace lmvo
