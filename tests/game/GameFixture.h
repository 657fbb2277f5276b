#pragma once

#include "TestSupport.h"

#include "framework/PaintBox.h"
#include "framework/Random.h"
#include "game/ZorvikFrm.h"
#include "game/ZorvikState.h"
#include "scores/BestScoresFrm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// Answers modal windows as they open: by default it closes them; a test may act instead.
class TModalDriver : public QObject {
public:
    TModalDriver()
    {
        FTimer.setInterval(5);
        connect(&FTimer, &QTimer::timeout, this, [this] {
            QWidget* Modal = QApplication::activeModalWidget();
            if (!Modal || Modal == FLastSeen)
                return;
            FLastSeen = Modal;
            ++Opened;
            if (OnModal)
                OnModal(Modal);
            else
                Modal->close();
        });
        FTimer.start();
    }
    // Called once for each modal window shown; it must close the window.
    std::function<void(QWidget*)> OnModal;
    int Opened = 0;
    void Forget() { FLastSeen = nullptr; }

private:
    QTimer FTimer;
    QWidget* FLastSeen = nullptr;
};

// A fresh main window and best-scores window for every test, with a fixed random seed and the
// state file in a folder of its own.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        SetStateFileName(StatePath());
        Form = std::make_unique<TZorvikForm>();
        BestScoresForm = new TBestScoresForm(Form.get());
        BestScoresForm->SetStateBlock(&Form->StateBlock());
        // The tests type as soon as a name entry opens.
        BestScoresForm->SetNameEntryGrace(0);
        RandSeed(12345);
    }
    void TearDown() override
    {
        Form.reset();
        BestScoresForm = nullptr;
        ZorvikForm = nullptr;
        SetStateFileName(QString());
    }

    QString StatePath() const { return Folder.filePath("Zorvik.dat"); }

    void Play() { ASSERT_TRUE(Form->Execute(Form->aPlay)); }

    // Fills a row, leaving the given columns empty.
    void FillRow(int Row, std::initializer_list<int> Holes = {})
    {
        for (int Col = 0; Col < GlassCols; ++Col)
            Form->SetCell(Col, Row, std::find(Holes.begin(), Holes.end(), Col) == Holes.end() ? 1 : 0);
    }

    int FilledCells() const
    {
        int Count = 0;
        for (int Col = 0; Col < GlassCols; ++Col)
            for (int Row = 0; Row < GlassRows; ++Row)
                Count += Form->Cell(Col, Row);
        return Count;
    }

    QTemporaryDir Folder;
    TShownExceptions Shown;
    TModalDriver Modals;
    std::unique_ptr<TZorvikForm> Form;
};
