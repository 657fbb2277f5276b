#pragma once

#include "TestSupport.h"

#include "framework/PaintBox.h"
#include "framework/Random.h"
#include "game/ZorvikFrm.h"
#include "scores/BestScoresFrm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QTimer>

#include <memory>

// A fresh main window and best-scores window for every test, with a fixed random seed.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<TZorvikForm>();
        BestScoresForm = new TBestScoresForm(Form.get());
        RandSeed(12345);
    }
    void TearDown() override
    {
        Form.reset();
        BestScoresForm = nullptr;
        ZorvikForm = nullptr;
    }

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

    TShownExceptions Shown;
    std::unique_ptr<TZorvikForm> Form;
};
