#pragma once

#include <QString>
#include <QUrl>

// What the desktop opens for a text: a link as it stands, anything else as a file name
// relative to the current folder.
QUrl ShellUrl(const QString& Text);
// Asks the desktop to "open" the text; the result is not reported.
void ShellOpen(const QString& Text);
