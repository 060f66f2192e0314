#include "show/ShowStarter.h"

#include "scan/SharedState.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace lmvo {

namespace {

// The notices keep the settings window's translation context: they are its texts.
constexpr char NoticeContext[] = "lmvo::Tfrm_lmvo";
const char* const NoticeCaption = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "请注意");
const char* const NoPictureFolder = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "请选择图片所在的文件夹！");
const char* const NoMusicFolder = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "请选择背景音乐所在的文件夹！");
const char* const NoPictures = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "该文件夹下没有需要播放的JPG格式图片！");
const char* const NoMusic = QT_TRANSLATE_NOOP("lmvo::Tfrm_lmvo", "该文件夹下没有音乐文件！");

Refusal refused(const char* text, const std::string& folder = {})
{
    return {QCoreApplication::translate(NoticeContext, text), folder};
}

// Blank as the play checks see it: nothing but spaces and control characters. A folder name
// keeps its bytes, and every byte of a multi-byte character lies above the space.
bool blank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// A scan whose failure names the folder it was asked for.
void scan(void (*scanner)(const std::string&, StringList&, Subfolders), const std::string& folder,
          StringList& list, Subfolders subfolders)
{
    try {
        scanner(folder, list, subfolders);
    } catch (const ScanError& e) {
        throw std::runtime_error(folderErrorText(folder, e).toStdString());
    }
}

// The reasons of a folder that cannot be scanned, by the scan's error code; the scan's own
// text follows in parentheses.
struct FolderReason {
    int code;
    const char* text;
};

constexpr char FolderContext[] = "lmvo::ShowStarter";
constexpr FolderReason FolderReasons[] = {
    {2, QT_TRANSLATE_NOOP("lmvo::ShowStarter", "找不到文件夹“%1”(%2)")},
    {3, QT_TRANSLATE_NOOP("lmvo::ShowStarter", "“%1”不是文件夹(%2)")},
    {5, QT_TRANSLATE_NOOP("lmvo::ShowStarter", "没有权限打开文件夹“%1”(%2)")},
};
const char* const OtherFolderReason = QT_TRANSLATE_NOOP("lmvo::ShowStarter", "无法读取文件夹“%1”(%2)");

} // namespace

QString formatInterval(int seconds)
{
    QString digits = QString::number(seconds < 0 ? -static_cast<qint64>(seconds) : seconds);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return seconds < 0 ? u'(' + digits + u')' : digits;
}

std::optional<int> parseInterval(const QString& text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    QString plain = text;
    plain.remove(u',');
    if (!integer.match(plain).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = plain.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString noticeCaption() { return QCoreApplication::translate(NoticeContext, NoticeCaption); }

QString folderErrorText(const std::string& folder, const ScanError& error)
{
    const char* text = OtherFolderReason;
    for (const FolderReason& r : FolderReasons)
        if (r.code == error.code())
            text = r.text;
    return QCoreApplication::translate(FolderContext, text)
        .arg(QFile::decodeName(QByteArray::fromStdString(folder)), QString::fromUtf8(error.what()));
}

ShowStarter::ShowStarter(AudioPlayer& player, SlideShowFactory makeShow, MusicPoll::Reporter report)
    : player_(player), makeShow_(std::move(makeShow)),
      poll_(player, MusicFiles, MusicIndex, std::move(report))
{
}

std::optional<Refusal> ShowStarter::play(const ShowChoices& choices)
{
    if (blank(choices.pictureFolder))
        return refused(NoPictureFolder);
    if (choices.music && blank(choices.musicFolder))
        return refused(NoMusicFolder);
    PictureFiles.clear();
    MusicFiles.clear();
    scan(ScanPictureFiles, choices.pictureFolder, PictureFiles, choices.subfolders);
    // The music folder is scanned even with the music off: a folder that cannot be entered
    // stops the show either way.
    if (!choices.musicFolder.empty())
        scan(ScanMusicFiles, choices.musicFolder, MusicFiles, choices.subfolders);
    if (PictureFiles.empty())
        return refused(NoPictures, choices.pictureFolder);
    if (choices.music && MusicFiles.empty())
        return refused(NoMusic, choices.musicFolder);
    PictureIndex = 0;
    LoopPlay = choices.loop ? 1 : 0;
    MusicIndex = 0;
    ShufflePlay = choices.shuffle;
    KeepProportions = choices.keepProportions;
    runShow(choices);
    return std::nullopt;
}

void ShowStarter::runShow(const ShowChoices& choices)
{
    const bool music = choices.music && !MusicFiles.empty();
    if (music) {
        poll_.playmusic();
        poll_.setEnabled(true);
    }
    try {
        showPictures(choices);
    } catch (...) {
        // No music plays on behind the settings window after a failed attempt.
        poll_.setEnabled(false);
        if (music)
            player_.stop();
        throw;
    }
    poll_.setEnabled(false);
    if (music)
        player_.stop();
}

void ShowStarter::showPictures(const ShowChoices& choices)
{
    const QString& interval = choices.interval;
    std::unique_ptr<SlideShow> show = makeShow_(choices.screen);
    const std::optional<int> seconds = parseInterval(interval);
    if (!seconds) {
        // The window is destroyed at once: hidden, it would go on loading pictures.
        show->StopTimer();
        throw std::invalid_argument(
            QCoreApplication::translate("lmvo::ShowStarter", "'%1' is not a valid integer value")
                .arg(interval)
                .toStdString());
    }
    // A value typed without leaving the edit has not met the edit's range yet.
    show->SetTimerInterval(std::clamp(*seconds, MinInterval, MaxInterval) * 1000);
    show->ShowModal();
    show->StopTimer();
}

} // namespace lmvo
