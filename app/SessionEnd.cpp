#include "app/SessionEnd.h"

#include "framework/Application.h"
#include "framework/Form.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <exception>

#ifndef _WIN32
#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

std::atomic<int> SignalWriteEnd{-1};

extern "C" void OnEndingSignal(int Signal)
{
    const int SavedErrno = errno;
    const char Byte = char(Signal);
    // A full pipe already holds a request.
    if (::write(SignalWriteEnd.load(), &Byte, 1) < 0) {
    }
    errno = SavedErrno;
}

} // namespace
#endif

namespace {
// The one that an exit() past the message loop (the display gone) finds.
TSessionEnd* Current = nullptr;
} // namespace

TSessionEnd::TSessionEnd(TForm* MainWindow) : FMainWindow(MainWindow)
{
    // A logout ends the display server with the programs: Qt then calls exit() as soon as it sees
    // the connection broken, which may come before the signal is handled. The state is saved there,
    // as it would be at the signal; nothing of the display is touched.
    Current = this;
    static const bool Registered = std::atexit([] {
        if (Current)
            Current->Exiting();
    }) == 0;
    Q_UNUSED(Registered);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TSessionEnd::CommitData, Qt::DirectConnection);

#ifndef _WIN32
    int Ends[2];
    if (pipe2(Ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    FReadEnd = Ends[0];
    SignalWriteEnd = Ends[1];
    FNotifier = new QSocketNotifier(FReadEnd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TSessionEnd::Terminate);

    struct sigaction Action{};
    Action.sa_handler = OnEndingSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int I = 0; I < 3; ++I) {
        sigaction(EndingSignals[I], nullptr, &FPrevious[I]);
        // A signal ignored when the program started (nohup) stays ignored.
        if (FPrevious[I].sa_handler != SIG_IGN)
            sigaction(EndingSignals[I], &Action, nullptr);
    }
    FSignalsHeld = true;
#endif
}

#ifndef _WIN32
TSessionEnd::~TSessionEnd()
{
    if (Current == this)
        Current = nullptr;
    RestoreSignals();
    const int WriteEnd = SignalWriteEnd.exchange(-1);
    if (WriteEnd >= 0)
        ::close(WriteEnd);
    delete FNotifier;
    if (FReadEnd >= 0)
        ::close(FReadEnd);
}

void TSessionEnd::RestoreSignals()
{
    if (!FSignalsHeld)
        return;
    for (int I = 0; I < 3; ++I)
        sigaction(EndingSignals[I], &FPrevious[I], nullptr);
    FSignalsHeld = false;
}

void TSessionEnd::Terminate()
{
    char Bytes[16];
    while (::read(FReadEnd, Bytes, sizeof Bytes) > 0) {
    }
    // The handlers stay until the save is over: a second signal only adds a byte to the pipe.
    QCoreApplication::exit(0);
}
#else
TSessionEnd::~TSessionEnd()
{
    if (Current == this)
        Current = nullptr;
}
#endif

bool TSessionEnd::SaveQuietly()
{
    try {
        FMainWindow->QueryClose();
        return true;
    } catch (const std::exception& Error) {
        const QString Text = ExceptionDisplayText(QString::fromUtf8(Error.what()));
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(Text));
    } catch (...) {
        std::fprintf(stderr, "%s: the state could not be saved\n", qPrintable(QCoreApplication::applicationName()));
    }
    std::fflush(stderr);
    return false;
}

void TSessionEnd::CommitData(QSessionManager&)
{
    // The window stays, so its close tries again should the session go on.
    SaveQuietly();
}

void TSessionEnd::Exiting()
{
    Current = nullptr;
    if (FMainWindow->isVisible())
        SaveQuietly();
}

int TSessionEnd::Finish()
{
    // A window the player closed has saved, or shown why not, in its close.
    if (!FMainWindow->isVisible())
        return 0;
    Current = nullptr;
    const bool Saved = SaveQuietly();
    FMainWindow->hide();
    return Saved ? 0 : 1;
}
