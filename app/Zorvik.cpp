#include "framework/Application.h"
#include "game/ZorvikFrm.h"
#include "scores/BestScoresFrm.h"

int main(int Argc, char** Argv)
{
    try {
        TApplication Application(Argc, Argv);
        try {
            new TZorvikForm;
            BestScoresForm = new TBestScoresForm(ZorvikForm);
            BestScoresForm->SetStateBlock(&ZorvikForm->StateBlock());
            ZorvikForm->show();
            Application.exec();
        } catch (...) {
            HandleException();
        }
        delete ZorvikForm;
    } catch (...) {
        // Without an application object there is no way to show anything.
    }
    return 0;
}
