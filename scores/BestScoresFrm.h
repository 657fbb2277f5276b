#pragma once

#include "framework/Grids.h"
#include "scores/BestScores.h"
#include "ui_BestScoresFrm.h"

#include <QDialog>

// The best-scores dialog: shows the main window's table and takes the name of a new entry.
class TBestScoresForm : public QDialog, public Ui::BestScoresForm {
    Q_OBJECT

public:
    explicit TBestScoresForm(QWidget* Parent = nullptr);

    // The block whose table the dialog shows and changes; it must outlive the dialog or be
    // replaced before it goes. Without one the records show empty.
    void SetStateBlock(TStateBlock* Block);

    // Shows the dialog with an edit box over the record's name cell and stores the name typed,
    // however the dialog is closed. The record is one of the table of the block set.
    void EnterName(TBestScore& Record);

public slots:
    void GridDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

protected:
    void hideEvent(QHideEvent* Event) override;

private:
    TStateBlock* FStateBlock = nullptr;
};

extern TBestScoresForm* BestScoresForm;
