#include "framework/Application.h"

#include "framework/Exceptions.h"

#include <QMessageBox>

namespace {

QString ApplicationTitle;

void MessageBoxDisplay(const QString& Caption, const QString& Message)
{
    QMessageBox Box(QMessageBox::Critical, Caption, Message, QMessageBox::Ok, QApplication::activeWindow());
    Box.exec();
}

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
    CurrentDisplay() = Display ? std::move(Display) : MessageBoxDisplay;
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
    try {
        throw;
    } catch (const std::exception& E) {
        ShowException(E);
    } catch (...) {
        ShowException(Exception(QString()));
    }
}
