#pragma once

#include "framework/Grids.h"
#include "scores/BestScores.h"
#include "ui_BestScoresFrm.h"

#include <QDialog>

// How long after the name entry opens it takes no key, in milliseconds: long enough for the key
// that ended the game to be let go, short enough not to be noticed.
constexpr int NameEntryGrace = 300;

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
    // Keys pressed no later than this after the entry opens are the game's, still held: dropped.
    // A seam for tests that type at once; NameEntryGrace unless set.
    void SetNameEntryGrace(int Milliseconds);
    void EnterName(TBestScore& Record);

public slots:
    void GridDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

protected:
    void hideEvent(QHideEvent* Event) override;

private:
    TStateBlock* FStateBlock = nullptr;
    int FNameEntryGrace = NameEntryGrace;
};

extern TBestScoresForm* BestScoresForm;
