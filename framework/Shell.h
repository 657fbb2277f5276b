#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the desktop opens for a text: a link as it stands, anything else as a file name
// relative to the current folder.
QUrl ShellUrl(const QString& Text);
// The same, except that a file missing from the current folder is looked for in each of
// Folders in turn; when none holds it, the current folder's name stands.
QUrl ShellUrl(const QString& Text, const QStringList& Folders);
// Asks the desktop to "open" the text, or the URL; the result is not reported.
void ShellOpen(const QString& Text);
void ShellOpen(const QUrl& Url);
