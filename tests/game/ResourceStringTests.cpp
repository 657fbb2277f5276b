#include "app/Loadresstring.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

using namespace Exceptions;

TEST(ResourceStrings, TheProgramTextsComeFromTheStringTable)
{
    EXPECT_EQ(LoadResString(2001), "Zorvik");
    EXPECT_EQ(LoadResString(2002), " - paused. Press F2 to continue");
    EXPECT_EQ(LoadResString(2003), " - game over");
    EXPECT_EQ(LoadResString(2101), "No");
    EXPECT_EQ(LoadResString(2102), "Name");
    EXPECT_EQ(LoadResString(2103), "Date");
    EXPECT_EQ(LoadResString(2104), "Score");
}

TEST(ResourceStrings, AMissingOrEmptyIdRaisesWithTheIdInTheMessage)
{
    try {
        LoadResString(2004);
        FAIL() << "no exception";
    } catch (const EResNotFound& E) {
        EXPECT_EQ(E.Message(), "Cannot load resource string with ID = 2004");
    }
    TStringTable Module;
    Module.Insert(5, "");
    EXPECT_THROW(LoadResString(5, &Module), EResNotFound);
}

TEST(ResourceStrings, AGivenModuleIsUsedAndLongTextsAreCutTo1023Characters)
{
    TStringTable Module;
    Module.Insert(2001, QString(1500, u'x'));
    Module.Insert(9, QString(1023, u'y'));
    EXPECT_EQ(LoadResString(2001, &Module), QString(1023, u'x'));
    EXPECT_EQ(LoadResString(9, &Module).size(), 1023);
}

TEST(ResourceStrings, TheModuleIsLookedUpOnceAndThenKept)
{
    EXPECT_EQ(LoadResString(2001), "Zorvik");
    // A language module loaded later does not replace the module already in use.
    TStringTable Language;
    Language.Insert(2001, "Zorvik (language module)");
    SetResourceHInstance(&Language);
    const QString Text = LoadResString(2001);
    SetResourceHInstance(nullptr);
    EXPECT_EQ(Text, "Zorvik");
}
