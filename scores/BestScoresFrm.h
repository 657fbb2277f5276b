#pragma once

#include "framework/Grids.h"
#include "scores/BestScores.h"

#include <QDialog>

#include <memory>

namespace Ui { class BestScoresForm; }
class QFrame;
class QPushButton;

// The best-scores dialog: shows the main window's table and takes the name of a new entry.
class TBestScoresForm : public QDialog {
    Q_OBJECT

public:
    explicit TBestScoresForm(QWidget* Parent = nullptr);
    ~TBestScoresForm() override;

    QFrame* Panel1;
    TDrawGrid* Grid;
    QPushButton* BitBtn1;

    // Shows the dialog with an edit box over the record's name cell and stores the name typed,
    // however the dialog is closed.
    void EnterName(TBestScore& Record);

public slots:
    void GridDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

private:
    std::unique_ptr<Ui::BestScoresForm> FUi;
};

extern TBestScoresForm* BestScoresForm;
