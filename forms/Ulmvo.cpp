#include "forms/Ulmvo.h"

#include "ui_Ulmvo.h"

#include "forms/ErrorReporter.h"
#include "forms/ufrm_about.h"
#include "scan/SharedState.h"

#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace lmvo {

namespace {

// Paths go to the scans as the file system's bytes.
std::string nativePath(const QString& text) { return QFile::encodeName(text).toStdString(); }

// Blank as the play checks see it: nothing but spaces and control characters.
bool blank(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= u' '; });
}

} // namespace

Tfrm_lmvo::Tfrm_lmvo(SettingsServices services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::Tfrm_lmvo>()),
      ownPlayer_(services.player ? nullptr : std::make_unique<MediaPlayer>()),
      ownChooser_(services.chooser ? nullptr : std::make_unique<DialogFolderChooser>()),
      player_(services.player ? *services.player : *ownPlayer_),
      chooser_(services.chooser ? *services.chooser : *ownChooser_),
      starter_(std::make_unique<ShowStarter>(player_, std::move(services.makeShow), reportError))
{
    installFontFallbacks();
    ui_->setupUi(this);
    setFixedSize(522, 311);
    setWindowIcon(programIcon());

    ui_->interupttime->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[+-]?[0-9]*")), ui_->interupttime));
    ui_->interupttime->installEventFilter(this);
    screens_ = new ScreenPicker(*ui_->cb_screen, *this);
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

void Tfrm_lmvo::notice(const QString& text)
{
    messageBoxes().show(this, {text, noticeCaption(), BoxIcon::Stop});
}

void Tfrm_lmvo::btn_imagedirClick()
{
    ui_->e_imagedir->setText(chooser_.choose(this));
    if (blank(ui_->e_musicdir->text()))
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

// The two include-subfolders boxes are not consulted: both scans always take every subfolder.
ShowChoices Tfrm_lmvo::choices() const
{
    ShowChoices c;
    c.pictureFolder = nativePath(ui_->e_imagedir->text());
    c.musicFolder = nativePath(ui_->e_musicdir->text());
    c.music = ui_->cb_usemusic->isChecked();
    c.loop = ui_->cb_circle->isChecked();
    c.keepProportions = ui_->cb_keepratio->isChecked();
    c.interval = ui_->interupttime->text();
    c.screen = screens_->chosen();
    return c;
}

void Tfrm_lmvo::btn_playClick()
{
    if (const std::optional<Refusal> refusal = starter_->play(choices()))
        return notice(refusal->text);
    close();
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
