#include "app/SessionEnd.h"

#include "framework/Application.h"
#include "framework/Form.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

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

TSessionEnd::TSessionEnd(TForm* MainWindow) : FMainWindow(MainWindow)
{
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
    // A second signal while the state is saved ends the program as it would have without us.
    RestoreSignals();
    QCoreApplication::exit(0);
}
#else
TSessionEnd::~TSessionEnd() = default;
#endif

void TSessionEnd::CommitData(QSessionManager& Manager)
{
    try {
        FMainWindow->QueryClose();
    } catch (...) {
        if (Manager.allowsErrorInteraction()) {
            HandleException();
            Manager.release();
        }
    }
}

void TSessionEnd::Finish()
{
    if (FMainWindow->isVisible())
        FMainWindow->close();
}
