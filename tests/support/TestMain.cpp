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

int main(int Argc, char** Argv)
{
    // Test discovery runs this binary outside ctest, where the environment of the tests is not set.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "1");
    // Wine hands no QT_ variable to a program: the fonts the tests draw with come under another name.
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR") && !qEnvironmentVariableIsEmpty("ZORVIK_TEST_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", qgetenv("ZORVIK_TEST_FONTDIR"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&Argc, Argv);
    TTestApplication Application(Argc, Argv);
    return RUN_ALL_TESTS();
}
