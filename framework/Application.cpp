#include "framework/Application.h"

#include "framework/Exceptions.h"

#include "framework/StringTable.h"

#include <QHash>
#include <QMessageBox>
#include <QMetaObject>

using namespace Exceptions;

namespace {

QString ApplicationTitle;

// A closure rather than a function, so that the library exports no type information for a
// function type of its own.
const auto MessageBoxDisplay = [](const QString& Caption, const QString& Message) {
    QMessageBox Box(QMessageBox::Critical, Caption, Message, QMessageBox::Ok, QApplication::activeWindow());
    Box.exec();
};

TExceptionDisplay& CurrentDisplay()
{
    static TExceptionDisplay Display = MessageBoxDisplay;
    return Display;
}

QString MessageOf(const std::exception& E)
{
    if (auto* Own = dynamic_cast<const Exception*>(&E))
        return Own->Message();
    return QString::fromUtf8(E.what());
}

// The message of the exception in flight; one from outside the family gets a text of ours.
QString MessageInFlight()
{
    try {
        throw;
    } catch (const std::exception& E) {
        const QString Message = MessageOf(E);
        return Message.isEmpty() ? FrameworkString(SUnknownException) : Message;
    } catch (...) {
        return FrameworkString(SUnknownException);
    }
}

// The last failure of each widget whose last paint failed, forgotten when the widget goes.
struct TPaintFailure {
    QString Message;
    QMetaObject::Connection Watch;
};

QHash<QObject*, TPaintFailure>& PaintFailures()
{
    static QHash<QObject*, TPaintFailure> Failures;
    return Failures;
}

} // namespace

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv)
{
    ApplicationTitle = applicationName();
}

QString TApplication::Title()
{
    return ApplicationTitle;
}

void TApplication::SetTitle(const QString& Title)
{
    ApplicationTitle = Title;
}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        HandleException();
        return false;
    }
}

void SetExceptionDisplay(TExceptionDisplay Display)
{
    CurrentDisplay() = Display ? std::move(Display) : TExceptionDisplay(MessageBoxDisplay);
}

QString ExceptionDisplayText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back() > QChar(u'.'))
        return Message + u'.';
    return Message;
}

void ShowException(const std::exception& E)
{
    CurrentDisplay()(TApplication::Title(), ExceptionDisplayText(MessageOf(E)));
}

void HandleException()
{
    CurrentDisplay()(TApplication::Title(), ExceptionDisplayText(MessageInFlight()));
}

void HandlePaintException(QObject* Painter)
{
    const QString Message = MessageInFlight();
    QHash<QObject*, TPaintFailure>& Failures = PaintFailures();
    const auto Known = Failures.find(Painter);
    if (Known != Failures.end()) {
        if (Known->Message == Message)
            return;
        Known->Message = Message;
    } else {
        Failures.insert(Painter, {Message, QObject::connect(Painter, &QObject::destroyed, [Painter] {
                                      PaintFailures().remove(Painter);
                                  })});
    }
    QMetaObject::invokeMethod(
        qApp, [Message] { CurrentDisplay()(TApplication::Title(), ExceptionDisplayText(Message)); },
        Qt::QueuedConnection);
}

void PaintSucceeded(QObject* Painter)
{
    QHash<QObject*, TPaintFailure>& Failures = PaintFailures();
    if (Failures.isEmpty())
        return;
    const auto Known = Failures.find(Painter);
    if (Known == Failures.end())
        return;
    QObject::disconnect(Known->Watch);
    Failures.erase(Known);
}
