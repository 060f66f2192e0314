#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace lmvo {

// The folder chooser shared by the two folder buttons of the settings window. It opens at the
// folder it selected last, whichever button asked, and always yields its selection: after
// Cancel that is the folder selected last time, or an empty text if none ever was.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;

    QString choose(QWidget* owner);
    [[nodiscard]] const QString& selectedFolder() const { return selected_; }

    static QString title() { return QCoreApplication::translate("lmvo::FolderChooser", "Browse for Folder"); }

protected:
    // Asks the user, opening at `start`; an empty result means Cancel.
    virtual QString ask(QWidget* owner, const QString& title, const QString& start) = 0;

private:
    QString selected_;
};

// The chooser on the desktop's folder dialog.
class DialogFolderChooser final : public FolderChooser {
protected:
    QString ask(QWidget* owner, const QString& title, const QString& start) override;
};

} // namespace lmvo
