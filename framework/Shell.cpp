#include "framework/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {
bool IsLink(const QUrl& Link)
{
    // One letter before a colon is a drive, not a scheme.
    return Link.isValid() && Link.scheme().size() > 1;
}
} // namespace

QUrl ShellUrl(const QString& Text)
{
    const QUrl Link(Text, QUrl::StrictMode);
    if (IsLink(Link))
        return Link;
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(Text));
}

QUrl ShellUrl(const QString& Text, const QStringList& Folders)
{
    const QUrl Url = ShellUrl(Text);
    if (!Url.isLocalFile() || QFileInfo::exists(Url.toLocalFile()) || QDir::isAbsolutePath(Text))
        return Url;
    for (const QString& Folder : Folders) {
        const QString Name = QDir::cleanPath(QDir(Folder).absoluteFilePath(Text));
        if (QFileInfo::exists(Name))
            return QUrl::fromLocalFile(Name);
    }
    return Url;
}

void ShellOpen(const QString& Text)
{
    ShellOpen(ShellUrl(Text));
}

void ShellOpen(const QUrl& Url)
{
    QDesktopServices::openUrl(Url);
}
