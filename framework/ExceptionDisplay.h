/// \file
/// How an exception that reaches the event loop, or escapes a grid's paint or a handler the
/// library calls from Qt, is shown: SetExceptionDisplay().
#pragma once

#include <zq/framework/Export.h>

#include <QString>

#include <functional>

/// Shows an exception: Caption is the application's title, Message the exception's message with a
/// full stop appended when its last character's code is above that of ".".
using TExceptionDisplay = std::function<void(const QString& Caption, const QString& Message)>;

/// Replaces the exception display. By default an exception is shown in a modal message box with
/// an error icon, captioned with the application's title, and the program goes on; a program that
/// wants its errors elsewhere (a log, a status bar, its own dialog) passes its own display. A
/// failing paint is shown once the paint has returned, once until a paint of the same widget
/// succeeds. An empty display restores the message box.
///
/// \code
/// SetExceptionDisplay([](const QString& Caption, const QString& Message) {
///     qWarning("%s: %s", qPrintable(Caption), qPrintable(Message));
/// });
/// \endcode
ZQ_EXPORT void SetExceptionDisplay(TExceptionDisplay Display);
