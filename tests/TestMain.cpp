#include "framework/Application.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdlib>

int main(int Argc, char** Argv)
{
    // Test discovery runs this binary outside ctest, where the environment of the tests is not set.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 1);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&Argc, Argv);
    TApplication Application(Argc, Argv);
    return RUN_ALL_TESTS();
}
