#include "forms/ufrm_about.h"

#include "ui_ufrm_about.h"

#include "forms/ErrorReporter.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFont>
#include <QMouseEvent>

// The resources of a static library are linked in only when something names them.
static void initResources() { Q_INIT_RESOURCE(Resources); }

namespace lmvo {

namespace {

UrlOpener& urlOpener()
{
    static UrlOpener opener;
    return opener;
}

bool isUnderlineOnly(const QFont& font)
{
    return font.underline() && !font.bold() && !font.italic() && !font.strikeOut();
}

} // namespace

QPointer<Tfrm_about> frm_about;

void setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

void openHomePage()
{
    const QUrl url(QString::fromLatin1(HomePageUrl));
    if (urlOpener())
        urlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void installFontFallbacks()
{
    const QStringList cjk = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK TC"),
                             QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback")};
    for (const QString& family : {QStringLiteral("微软雅黑"), QStringLiteral("华文彩云")}) {
        if (QFont::substitutes(family).isEmpty())
            QFont::insertSubstitutions(family, cjk);
    }
}

QIcon programIcon()
{
    static const bool loaded = (initResources(), true);
    (void)loaded;
    return QIcon(QStringLiteral(":/icons/lumivo.png"));
}

void underlineLink(QLabel* label)
{
    QFont font = label->font();
    if (isUnderlineOnly(font))
        return;
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(true);
    label->setFont(font);
}

void plainLink(QLabel* label)
{
    QFont font = label->font();
    if (!isUnderlineOnly(font))
        return;
    font.setUnderline(false);
    label->setFont(font);
}

Tfrm_about::Tfrm_about(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::Tfrm_about>())
{
    installFontFallbacks();
    ui_->setupUi(this);
    setFixedSize(311, 184);
    // The link's box was laid out for the Chinese text; a longer translation widens it, so
    // that the whole text shows and is what a click hits.
    QLabel* link = ui_->Label_url;
    if (link->sizeHint().width() > link->width())
        link->resize(link->sizeHint().width(), link->height());
    connect(ui_->Button1, &QPushButton::clicked, this, &Tfrm_about::Button1Click);
    ui_->Label_url->installEventFilter(this);
}

Tfrm_about::~Tfrm_about() = default;

QLabel* Tfrm_about::Label_url() const { return ui_->Label_url; }

void Tfrm_about::Button1Click() { close(); }

void Tfrm_about::Label_urlClick() { openHomePage(); }

void Tfrm_about::Label_urlMouseEnter() { underlineLink(ui_->Label_url); }

void Tfrm_about::Label_urlMouseLeave() { plainLink(ui_->Label_url); }

bool Tfrm_about::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Label_url) {
        switch (event->type()) {
        case QEvent::Enter:
            Label_urlMouseEnter();
            break;
        case QEvent::Leave:
            Label_urlMouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
                && ui_->Label_url->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
                guarded([this] { Label_urlClick(); });
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowAbout()
{
    auto window = std::make_unique<Tfrm_about>();
    frm_about = window.get();
    window->exec();
}

} // namespace lmvo
