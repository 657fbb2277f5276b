#include "scores/BestScoresFrm.h"

#include "ui_BestScoresFrm.h"

TBestScoresForm* BestScoresForm = nullptr;

TBestScoresForm::TBestScoresForm(QWidget* Parent) : QDialog(Parent), FUi(new Ui::BestScoresForm)
{
    FUi->setupUi(this);
}

TBestScoresForm::~TBestScoresForm() = default;
