#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class Tfrm_about;
}

namespace lmvo {

// The product's home page, opened from the links of the settings and about windows.
inline constexpr char HomePageUrl[] = "https://lumivo.example/";

// Opens an address in the desktop's browser. Tests install their own; the real one goes
// through QDesktopServices. `setUrlOpener({})` restores it.
using UrlOpener = std::function<void(const QUrl&)>;
void setUrlOpener(UrlOpener opener);
void openHomePage();

// The Windows fonts of the window definitions are missing here: let every Chinese text fall
// back to an installed CJK font. Safe to call more than once.
void installFontFallbacks();

// The program's icon, drawn for it and compiled into the program.
QIcon programIcon();

// A label used as a link underlines while the pointer is over it.
void underlineLink(QLabel* label);
void plainLink(QLabel* label);

// The about window: product name, version, a short description and the home-page link.
class Tfrm_about : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_about(QWidget* parent = nullptr);
    ~Tfrm_about() override;

    QLabel* Label_url() const;

    void Button1Click();
    void Label_urlClick();
    void Label_urlMouseEnter();
    void Label_urlMouseLeave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::Tfrm_about> ui_;
};

// The window of the running `ShowAbout`, null otherwise.
extern QPointer<Tfrm_about> frm_about;

// Builds a fresh about window with no owner, shows it modally and frees it afterwards.
void ShowAbout();

} // namespace lmvo
