#include "forms/Ulmvo.h"

#include "ui_Ulmvo.h"

#include "forms/ErrorReporter.h"
#include "forms/ufrm_about.h"
#include "scan/FolderScan.h"
#include "scan/SharedState.h"

#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <stdexcept>

namespace lmvo {

namespace {

constexpr char NoticeCaption[] = "请注意";
constexpr char NoPictureFolder[] = "请选择图片所在的文件夹！";
constexpr char NoMusicFolder[] = "请选择背景音乐所在的文件夹！";
constexpr char NoPictures[] = "该文件夹下没有需要播放的JPG格式图片！";
constexpr char NoMusic[] = "该文件夹下没有音乐文件！";

// Paths go to the scans as the file system's bytes.
std::string nativePath(const QString& text) { return QFile::encodeName(text).toStdString(); }

// Trimming as the play checks do it: spaces and control characters at both ends.
QString trimmedText(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

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

Tfrm_lmvo::Tfrm_lmvo(SettingsServices services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::Tfrm_lmvo>()),
      ownPlayer_(services.player ? nullptr : std::make_unique<MediaPlayer>()),
      ownChooser_(services.chooser ? nullptr : std::make_unique<DialogFolderChooser>()),
      player_(services.player ? *services.player : *ownPlayer_),
      chooser_(services.chooser ? *services.chooser : *ownChooser_),
      makeShow_(std::move(services.makeShow))
{
    installFontFallbacks();
    ui_->setupUi(this);
    setFixedSize(522, 311);
    setWindowIcon(programIcon());
    poll_ = std::make_unique<MusicPoll>(player_, MusicFiles, MusicIndex,
                                        [](const QString& message) { reportError(message); });

    ui_->interupttime->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[+-]?[0-9]*")), ui_->interupttime));
    ui_->interupttime->installEventFilter(this);
    ui_->l_info->installEventFilter(this);
    const auto handle = [this](void (Tfrm_lmvo::*handler)()) {
        return [this, handler] { guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(ui_->btn_imagedir, &QPushButton::clicked, this, handle(&Tfrm_lmvo::btn_imagedirClick));
    connect(ui_->btn_musicdir, &QPushButton::clicked, this, handle(&Tfrm_lmvo::btn_musicdirClick));
    connect(ui_->btn_play, &QPushButton::clicked, this, handle(&Tfrm_lmvo::btn_playClick));
    connect(ui_->btn_close, &QPushButton::clicked, this, handle(&Tfrm_lmvo::btn_closeClick));
    connect(ui_->btn_about, &QPushButton::clicked, this, handle(&Tfrm_lmvo::btn_aboutClick));
    FormCreate();
}

Tfrm_lmvo::~Tfrm_lmvo() = default;

// The single-instance guard is decided in main() before this window exists: a copy that
// must end would otherwise have built and shown parts of it.
void Tfrm_lmvo::FormCreate()
{
    PictureFiles.clear();
    MusicFiles.clear();
}

void Tfrm_lmvo::closeEvent(QCloseEvent* event)
{
    music().setEnabled(false);
    PictureFiles.clear();
    PictureFiles.shrink_to_fit();
    MusicFiles.clear();
    MusicFiles.shrink_to_fit();
    QDialog::closeEvent(event);
}

// A dialog ends on Escape; this window ends only through its close button or close box.
void Tfrm_lmvo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return event->accept();
    QDialog::keyPressEvent(event);
}

bool Tfrm_lmvo::musicOn() const { return ui_->cb_usemusic->isChecked(); }

void Tfrm_lmvo::notice(const char* text)
{
    messageBoxes().show(this, {QString::fromUtf8(text), QString::fromUtf8(NoticeCaption), BoxIcon::Stop});
}

void Tfrm_lmvo::btn_imagedirClick()
{
    ui_->e_imagedir->setText(chooser_.choose(this));
    if (trimmedText(ui_->e_musicdir->text()).isEmpty())
        ui_->e_musicdir->setText(ui_->e_imagedir->text());
}

void Tfrm_lmvo::btn_musicdirClick() { ui_->e_musicdir->setText(chooser_.choose(this)); }

void Tfrm_lmvo::btn_closeClick() { close(); }

void Tfrm_lmvo::btn_aboutClick() { ShowAbout(); }

void Tfrm_lmvo::l_infoClick() { openHomePage(); }

void Tfrm_lmvo::TimerTimer() { music().TimerTimer(); }

void Tfrm_lmvo::interupttimeExit()
{
    const int value = parseInterval(ui_->interupttime->text()).value_or(0);
    ui_->interupttime->setText(formatInterval(std::clamp(value, MinInterval, MaxInterval)));
}

void Tfrm_lmvo::btn_playClick()
{
    if (trimmedText(ui_->e_imagedir->text()).isEmpty())
        return notice(NoPictureFolder);
    if (musicOn() && trimmedText(ui_->e_musicdir->text()).isEmpty())
        return notice(NoMusicFolder);
    PictureFiles.clear();
    MusicFiles.clear();
    ScanPictureFiles(nativePath(ui_->e_imagedir->text()), PictureFiles);
    // The music folder is scanned even with the music off: a folder that cannot be entered
    // stops the show either way.
    ScanMusicFiles(nativePath(ui_->e_musicdir->text()), MusicFiles);
    if (PictureFiles.empty())
        return notice(NoPictures);
    if (musicOn() && MusicFiles.empty())
        return notice(NoMusic);
    PictureIndex = 0;
    LoopPlay = ui_->cb_circle->isChecked() ? 1 : 0;
    MusicIndex = 0;
    runShow();
}

void Tfrm_lmvo::runShow()
{
    const bool music = musicOn() && !MusicFiles.empty();
    if (music) {
        poll_->playmusic();
        poll_->setEnabled(true);
    }
    try {
        showPictures();
    } catch (...) {
        // No music plays on behind the settings window after a failed attempt.
        poll_->setEnabled(false);
        if (music)
            player_.stop();
        throw;
    }
    poll_->setEnabled(false);
    if (music)
        player_.stop();
    close();
}

void Tfrm_lmvo::showPictures()
{
    std::unique_ptr<SlideShow> show = makeShow_();
    const QString text = ui_->interupttime->text();
    const std::optional<int> seconds = parseInterval(text);
    if (!seconds) {
        // The window is destroyed at once: hidden, it would go on loading pictures.
        show->StopTimer();
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    // A value typed without leaving the edit has not met the edit's range yet.
    show->SetTimerInterval(std::clamp(*seconds, MinInterval, MaxInterval) * 1000);
    show->ShowModal();
    show->StopTimer();
}

bool Tfrm_lmvo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->interupttime && event->type() == QEvent::FocusOut) {
        interupttimeExit();
    } else if (watched == ui_->l_info) {
        if (event->type() == QEvent::Enter)
            underlineLink(ui_->l_info);
        else if (event->type() == QEvent::Leave)
            plainLink(ui_->l_info);
        else if (event->type() == QEvent::MouseButtonRelease
                 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
                 && ui_->l_info->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            guarded([this] { l_infoClick(); });
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace lmvo
