// Start-up to the first paint of the main window, and peak memory, against a bare Qt window
// of the same size started the same way: each run is a new process of this program.
#include "framework/Application.h"
#include "game/ZorvikFrm.h"
#include "scores/BestScoresFrm.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Reports once the window's first paint has been handled, then ends the process.
class TFirstPaint : public QObject {
public:
    explicit TFirstPaint(QWidget* Window) : FWindow(Window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        auto* Widget = qobject_cast<QWidget*>(Watched);
        if (!FSeen && Event->type() == QEvent::Paint && Widget && Widget->window() == FWindow) {
            FSeen = true;
            QTimer::singleShot(0, [] {
                rusage Usage{};
                getrusage(RUSAGE_SELF, &Usage);
                std::printf("painted %ld\n", Usage.ru_maxrss);
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    QWidget* FWindow;
    bool FSeen = false;
};

int RunChild(int Argc, char** Argv, const char* Kind)
{
    TApplication Application(Argc, Argv);
    QWidget* Window;
    if (std::strcmp(Kind, "game") == 0) {
        auto* Game = new TZorvikForm;
        BestScoresForm = new TBestScoresForm(Game);
        BestScoresForm->SetStateBlock(&Game->StateBlock());
        Window = Game;
    } else {
        Window = new QWidget;
        Window->setFixedSize(405, 432);
        // The first text shown loads the font system, which a window without text never does.
        if (std::strcmp(Kind, "text") == 0)
            new QLabel(QStringLiteral("Zorvik"), Window);
    }
    TFirstPaint Watch(Window);
    Window->show();
    return Application.exec();
}

struct TSample {
    double Ms;
    long MaxRssKiB;
};

TSample RunOnce(const char* Self, const char* Kind)
{
    QProcess Child;
    QElapsedTimer Clock;
    Clock.start();
    Child.start(QString::fromLocal8Bit(Self), {QStringLiteral("--child"), QString::fromLatin1(Kind)});
    Child.waitForFinished(30000);
    const double Ms = Clock.nsecsElapsed() / 1e6;
    long Rss = 0;
    std::sscanf(Child.readAllStandardOutput().constData(), "painted %ld", &Rss);
    return {Ms, Rss};
}

template <typename T>
T Median(std::vector<T> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (Argc == 3 && std::strcmp(Argv[1], "--child") == 0)
        return RunChild(Argc, Argv, Argv[2]);

    const int Runs = Argc > 1 ? std::atoi(Argv[1]) : 21;
    const char* Kinds[] = {"game", "bare", "text"};
    std::vector<double> Ms[3];
    std::vector<long> Rss[3];
    // Interleaved, so that all see the same state of the machine.
    for (int I = 0; I < Runs; ++I)
        for (int K = 0; K < 3; ++K) {
            const TSample Sample = RunOnce(Argv[0], Kinds[K]);
            Ms[K].push_back(Sample.Ms);
            Rss[K].push_back(Sample.MaxRssKiB);
        }
    std::printf("runs: %d, platform: %s, medians from process start to first paint handled\n", Runs,
                std::getenv("QT_QPA_PLATFORM"));
    const double GameMs = Median(Ms[0]);
    const double GameRss = Median(Rss[0]) / 1024.0;
    std::printf("game window              %6.1f ms %6.1f MiB\n", GameMs, GameRss);
    const char* Names[] = {"", "bare window             ", "bare window with a label"};
    for (int K = 1; K < 3; ++K) {
        const double M = Median(Ms[K]), R = Median(Rss[K]) / 1024.0;
        std::printf("%s %6.1f ms %6.1f MiB   game/this: time %.2f, memory %.2f\n", Names[K], M, R, GameMs / M,
                    GameRss / R);
    }
    return 0;
}
