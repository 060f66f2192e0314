#include "forms/FolderChooser.h"

#include <QFileDialog>

namespace lmvo {

QString FolderChooser::choose(QWidget* owner)
{
    const QString answer = ask(owner, title(), selected_);
    if (!answer.isEmpty())
        selected_ = answer;
    return selected_;
}

QString DialogFolderChooser::ask(QWidget* owner, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(owner, title, start);
}

} // namespace lmvo
