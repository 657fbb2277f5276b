// Tests that link only the shared library, as a program does, see no more of it than its installed
// headers: they run under Qt's own application object.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#include <QApplication>
using TTestApplication = QApplication;
#else
#include "framework/Application.h"
using TTestApplication = TApplication;
#endif

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
    TTestApplication Application(Argc, Argv);
    return RUN_ALL_TESTS();
}
