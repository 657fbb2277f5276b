#pragma once

#include <QObject>

#ifndef _WIN32
#include <csignal>
#endif

class QSessionManager;
class QSocketNotifier;
class TForm;

// The end of a run that the player did not ask for in the window. When the desktop session ends,
// the main window's close query saves what a close saves, the window staying open. SIGTERM, SIGHUP
// and SIGINT end the message loop, every modal loop inside it first, so that what a modal window
// does on closing (a name entry storing the name) is done; Finish then saves as the close does.
// Every such signal that comes before that save is over joins this one end (a logout or a closed
// terminal sends several), so only SIGKILL ends the run at once. Nobody is there to answer a
// message box then: a save that fails is written to standard error instead.
// So does an exit() while the main window is open, as when the display server has gone.
// The signals reach the GUI thread through a pipe: their handler only writes a byte to it.
// One at a time; it belongs to the program, which owns the signals' handling. Windows ends a window
// program through the session only.
class TSessionEnd : public QObject {
public:
    explicit TSessionEnd(TForm* MainWindow);
    ~TSessionEnd() override;

    // After the message loop: a main window still open is saved as its close saves and hidden.
    // Returns the program's exit status: 0, or 1 when that save failed.
    int Finish();

private:
    void CommitData(QSessionManager& Manager);

    TForm* FMainWindow;
    // The save of a close without its message box: false, with the failure on standard error.
    bool SaveQuietly();
    // At an exit() while the main window is open.
    void Exiting();

#ifndef _WIN32
    void Terminate();
    void RestoreSignals();

    int FReadEnd = -1;
    QSocketNotifier* FNotifier = nullptr;
    bool FSignalsHeld = false;
    struct sigaction FPrevious[3]{};
#endif
};
