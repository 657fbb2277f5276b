#pragma once

#include "framework/ExceptionDisplay.h"

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

// The application object: Qt's, plus the title that captions the exception display and the
// last net for an exception that reaches the event loop.
class TApplication : public QApplication {
public:
    TApplication(int& Argc, char** Argv);

    static QString Title();
    static void SetTitle(const QString& Title);

    bool notify(QObject* Receiver, QEvent* Event) override;
};

// How an exception is shown: a message box with an error icon, captioned with the title.
// Replaceable (SetExceptionDisplay), by a program and by tests that see what would be shown.

// The message as shown: a full stop is added when the last character's code is above '.'.
QString ExceptionDisplayText(const QString& Message);
void ShowException(const std::exception& E);
// Shows the exception in flight; call only inside a catch block.
void HandleException();

// Runs a handler from a place Qt calls us, showing any exception instead of letting it
// unwind through Qt's own frames.
template <typename F>
void Guarded(F&& Handler) noexcept
{
    try {
        Handler();
    } catch (...) {
        HandleException();
    }
}

// Takes the exception in flight, raised while Painter painted, and shows it once the paint has
// returned: a modal box must not run inside a paint event. A paint of the same widget that fails
// again with the same message is not shown again until one of its paints has succeeded, so a
// failure that every repaint repeats gives one box. Call only inside a catch block.
void HandlePaintException(QObject* Painter);
// Tells that a paint of Painter succeeded.
void PaintSucceeded(QObject* Painter);

// Guarded, for a paint handler of Painter.
template <typename F>
void GuardedPaint(QObject* Painter, F&& Handler) noexcept
{
    try {
        Handler();
        PaintSucceeded(Painter);
    } catch (...) {
        HandlePaintException(Painter);
    }
}
