#include "app/SessionEnd.h"
#include "framework/Application.h"
#include "game/ZorvikFrm.h"
#include "scores/BestScoresFrm.h"

#include <QFileInfo>

int main(int Argc, char** Argv)
{
    int Status = 0;
    try {
        TApplication Application(Argc, Argv);
        // Started through another name (the lower-case link), the program keeps its own: the
        // name of its data folder and of its windows' class.
        QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
        try {
            new TZorvikForm;
            BestScoresForm = new TBestScoresForm(ZorvikForm);
            BestScoresForm->SetStateBlock(&ZorvikForm->StateBlock());
            TSessionEnd SessionEnd(ZorvikForm);
            ZorvikForm->show();
            Application.exec();
            Status = SessionEnd.Finish();
        } catch (...) {
            HandleException();
        }
        delete ZorvikForm;
    } catch (...) {
        // Without an application object there is no way to show anything.
    }
    return Status;
}
