#include "framework/Shell.h"

#include <QDesktopServices>
#include <QDir>

QUrl ShellUrl(const QString& Text)
{
    const QUrl Link(Text, QUrl::StrictMode);
    if (Link.isValid() && Link.scheme().size() > 1)
        return Link;
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(Text));
}

void ShellOpen(const QString& Text)
{
    QDesktopServices::openUrl(ShellUrl(Text));
}
