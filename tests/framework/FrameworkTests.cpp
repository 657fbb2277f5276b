#include "TestSupport.h"

#include "framework/Actions.h"
#include "framework/Canvas.h"
#include "framework/Exceptions.h"
#include "framework/Form.h"
#include "framework/PaintBox.h"
#include "framework/Shell.h"
#include "framework/StringTable.h"
#include "framework/VirtualKeys.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Exceptions;

namespace {

QImage BlankImage(int Width, int Height)
{
    QImage Image(Width, Height, QImage::Format_RGB32);
    Image.fill(Qt::white);
    return Image;
}

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb PenRgb = 0x0000FF;   // 0xFF0000 as BBGGRR
constexpr QRgb BrushRgb = 0x00FF00; // 0x00FF00 is the same either way

} // namespace

TEST(Canvas, RectangleCoversUpToButNotIncludingItsEndPointWithAnOutlineRing)
{
    QImage Image = BlankImage(10, 10);
    QList<QRect> Changes;
    TCanvas Canvas(Image, [&](const QRect& Rect) { Changes << Rect; });
    Canvas.Pen.Color = 0xFF0000;
    Canvas.Brush.Color = 0x00FF00;
    Canvas.Rectangle(2, 2, 6, 6);

    EXPECT_EQ(PixelAt(Image, 2, 2), PenRgb);
    EXPECT_EQ(PixelAt(Image, 5, 2), PenRgb);
    EXPECT_EQ(PixelAt(Image, 2, 5), PenRgb);
    EXPECT_EQ(PixelAt(Image, 5, 5), PenRgb);
    EXPECT_EQ(PixelAt(Image, 3, 3), BrushRgb);
    EXPECT_EQ(PixelAt(Image, 4, 4), BrushRgb);
    EXPECT_EQ(PixelAt(Image, 6, 6), White);
    EXPECT_EQ(PixelAt(Image, 6, 3), White);
    EXPECT_EQ(PixelAt(Image, 1, 1), White);
    ASSERT_EQ(Changes.size(), 1);
    EXPECT_EQ(Changes[0], QRect(2, 2, 4, 4));
}

TEST(Canvas, FillRectHasNoOutlineAndIsClippedToTheImage)
{
    QImage Image = BlankImage(4, 4);
    TCanvas Canvas(Image, nullptr);
    Canvas.Pen.Color = 0xFF0000;
    Canvas.Brush.Color = 0x00FF00;
    Canvas.FillRect(QRect(-5, -5, 100, 100));
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X)
            EXPECT_EQ(PixelAt(Image, X, Y), BrushRgb);
}

TEST(Canvas, LineStopsOnePixelShortOfItsEnd)
{
    QImage Image = BlankImage(10, 10);
    TCanvas Canvas(Image, nullptr);
    Canvas.Pen.Color = 0xFF0000;
    Canvas.MoveTo(0, 3);
    Canvas.LineTo(10, 3);
    for (int X = 0; X < 10; ++X)
        EXPECT_EQ(PixelAt(Image, X, 3), PenRgb) << X;
    Canvas.MoveTo(4, 0);
    Canvas.LineTo(4, 5);
    EXPECT_EQ(PixelAt(Image, 4, 4), PenRgb);
    EXPECT_EQ(PixelAt(Image, 4, 5), White);
    EXPECT_EQ(Canvas.PenPos(), QPoint(4, 5));
}

TEST(ExceptionDisplay, AddsAFullStopOnlyAfterCharactersAboveTheFullStop)
{
    EXPECT_EQ(ExceptionDisplayText("Stream read error"), "Stream read error.");
    EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
    EXPECT_EQ(ExceptionDisplayText("What?"), "What?.");
    EXPECT_EQ(ExceptionDisplayText("ends in a blank "), "ends in a blank ");
    EXPECT_EQ(ExceptionDisplayText("a-"), "a-");
    EXPECT_EQ(ExceptionDisplayText("ID = 2004"), "ID = 2004.");
    EXPECT_EQ(ExceptionDisplayText(""), "");
}

TEST(ExceptionDisplay, GuardedHandlerShowsTheMessageCaptionedWithTheTitle)
{
    TShownExceptions Shown;
    TApplication::SetTitle("Title");
    bool After = false;
    Guarded([] { throw EWriteError("Stream write error"); });
    After = true;
    EXPECT_TRUE(After);
    ASSERT_EQ(Shown.Messages.size(), 1);
    EXPECT_EQ(Shown.Messages[0], "Stream write error.");
    EXPECT_EQ(Shown.Captions[0], "Title");
}

TEST(ExceptionDisplay, AnExceptionThatReachesTheEventLoopIsShownAndTheLoopGoesOn)
{
    TShownExceptions Shown;
    class TThrower : public QObject {
    protected:
        bool event(QEvent* Event) override
        {
            if (Event->type() == QEvent::User)
                throw ERangeError("out of range");
            return QObject::event(Event);
        }
    } Thrower;
    QCoreApplication::postEvent(&Thrower, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&Thrower);
    ASSERT_EQ(Shown.Messages.size(), 1);
    EXPECT_EQ(Shown.Messages[0], "out of range.");
}

TEST(ExceptionDisplay, APaintFailureIsShownAfterThePaintOncePerBurstAndAnyThrownValueGetsAMessage)
{
    class TBox : public TPaintBox {
    public:
        bool InPaint = false;

    protected:
        void paintEvent(QPaintEvent* Event) override
        {
            InPaint = true;
            TPaintBox::paintEvent(Event);
            InPaint = false;
        }
    } Box;
    QStringList Messages;
    bool ShownInPaint = false;
    SetExceptionDisplay([&](const QString&, const QString& Message) {
        Messages << Message;
        ShownInPaint = ShownInPaint || Box.InPaint;
    });
    int Failure = 0;
    QObject::connect(&Box, &TPaintBox::Paint, [&] {
        if (Failure == 1)
            throw ERangeError("broken");
        if (Failure == 2)
            throw 42;
    });
    Box.resize(20, 20);
    const auto PaintTimes = [&](int Times) {
        for (int I = 0; I < Times; ++I) {
            Box.Invalidate();
            Box.repaint();
        }
        QCoreApplication::processEvents();
    };
    Box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Box));
    QCoreApplication::processEvents();
    Failure = 1;
    PaintTimes(3);
    EXPECT_EQ(Messages, QStringList{"broken."});
    Failure = 0;
    PaintTimes(1);
    Failure = 1;
    PaintTimes(2);
    Failure = 2;
    PaintTimes(2);
    EXPECT_EQ(Messages, (QStringList{"broken.", "broken.", "An unexpected error occurred."}));
    EXPECT_FALSE(ShownInPaint);
    SetExceptionDisplay(nullptr);
}

TEST(StringTable, ParsesQuotedTextsKeepingBlanksAndEscapes)
{
    const TStringTable Table = TStringTable::Parse("# comment\n"
                                                   "1 \" - leading blank\"\n"
                                                   "2 \"say \\\"hi\\\" \\\\ ok\"\n"
                                                   "\n"
                                                   "bad line\n"
                                                   "3 \"\"\n");
    EXPECT_EQ(Table.Find(1), " - leading blank");
    EXPECT_EQ(Table.Find(2), "say \"hi\" \\ ok");
    EXPECT_EQ(Table.Find(3), "");
    EXPECT_EQ(Table.Count(), 3);
}

TEST(StringTable, LoadStringCutsToTheBufferAndReportsTheLength)
{
    TStringTable Table;
    Table.Insert(7, "abcdef");
    QChar Buffer[4];
    EXPECT_EQ(LoadString(&Table, 7, Buffer, 4), 3);
    EXPECT_EQ(QString(Buffer, 3), "abc");
    EXPECT_EQ(Buffer[3], QChar(0));
    EXPECT_EQ(LoadString(&Table, 8, Buffer, 4), 0);
    EXPECT_EQ(LoadString(nullptr, 7, Buffer, 4), 0);
}

TEST(StringTable, TheExecutableHoldsTheFrameworkTexts)
{
    EXPECT_EQ(FrameworkString(SFCreateError).arg("x.dat"), "Cannot create file x.dat");
    EXPECT_EQ(FrameworkString(SReadError), "Stream read error");
}

TEST(VirtualKeys, KeypadDigitsHaveTheirOwnCodes)
{
    EXPECT_EQ(VirtualKeyOf(Qt::Key_4, Qt::KeypadModifier), 100);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_4, Qt::NoModifier), '4');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Left, Qt::KeypadModifier), VK_LEFT);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Clear, Qt::KeypadModifier), VK_CLEAR);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F2, Qt::NoModifier), 113);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_P, Qt::ControlModifier), 'P');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Shift, Qt::NoModifier), 0);
}

TEST(Shell, RelativeNamesResolveAgainstTheCurrentFolderAndLinksStayAsTheyAre)
{
    EXPECT_EQ(ShellUrl("readme_en.htm"), QUrl::fromLocalFile(QDir::current().absoluteFilePath("readme_en.htm")));
    EXPECT_EQ(ShellUrl("https://zorvik.example/").toString(), "https://zorvik.example/");
    EXPECT_EQ(ShellUrl("mailto:a@b.example?subject=Zorvik").scheme(), "mailto");
}

TEST(Shell, AFileMissingFromTheCurrentFolderIsLookedForInTheFallbackFoldersInTurn)
{
    QTemporaryDir Current, First, Second;
    const QString Previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Current.path()));
    const auto Touch = [](const QString& Name) { QFile(Name).open(QIODevice::WriteOnly); };
    const auto Url = [&] { return ShellUrl("page.htm", {First.path(), Second.path() + "/sub/.."}); };
    const QUrl InCurrent = QUrl::fromLocalFile(Current.filePath("page.htm"));

    EXPECT_EQ(Url(), InCurrent) << "found nowhere: the current folder's name stands";
    Touch(Second.filePath("page.htm"));
    EXPECT_EQ(Url(), QUrl::fromLocalFile(Second.filePath("page.htm")));
    Touch(First.filePath("page.htm"));
    EXPECT_EQ(Url(), QUrl::fromLocalFile(First.filePath("page.htm")));
    Touch(Current.filePath("page.htm"));
    EXPECT_EQ(Url(), InCurrent);
    EXPECT_EQ(ShellUrl("https://zorvik.example/", {First.path()}).toString(), "https://zorvik.example/");
    QDir::setCurrent(Previous);
}

namespace {

// A window with one action whose rule the test controls.
class TActionForm : public TForm {
    Q_OBJECT

public:
    TActionForm()
    {
        Action = new QAction(this);
        Action->setObjectName("aTest");
        Action->setShortcut(QKeySequence(Qt::Key_F2));
        Action->setProperty("OnExecute", "aTestExecute");
        Action->setProperty("OnUpdate", "aTestUpdate");
        addAction(Action);
        Button = new QPushButton(this);
        connect(this, &TForm::KeyDown, this, &TActionForm::FormKeyDown);
        Loaded();
    }

    QAction* Action;
    QPushButton* Button;
    bool Allowed = true;
    int Updates = 0;
    int Executions = 0;
    QList<int> Keys;
    bool Swallow = false;

public slots:
    void aTestUpdate(QObject* Sender)
    {
        ++Updates;
        static_cast<QAction*>(Sender)->setEnabled(Allowed);
    }
    void aTestExecute(QObject*) { ++Executions; }
    void FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
    {
        Keys << Key;
        if (Swallow)
            Key = 0;
    }
};

class TKeyRecorder : public QObject {
public:
    QList<int> Keys;

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::KeyPress)
            Keys << static_cast<QKeyEvent*>(Event)->key();
        return false;
    }
};

} // namespace

TEST(Actions, ExecutionRunsTheUpdateFirstAndTheHandlerOnlyWhenEnabled)
{
    TActionForm Form;
    Form.Allowed = false;
    EXPECT_FALSE(Form.Execute(Form.Action));
    EXPECT_EQ(Form.Executions, 0);
    EXPECT_EQ(Form.Updates, 1);

    // A stale enabled state does not let the handler run.
    Form.Action->setEnabled(true);
    Form.Action->trigger();
    EXPECT_EQ(Form.Executions, 0);

    Form.Allowed = true;
    EXPECT_TRUE(Form.Execute(Form.Action));
    EXPECT_EQ(Form.Executions, 1);
}

TEST(Actions, UpdateRulesRunWhenTheApplicationGoesIdle)
{
    TActionForm Form;
    Form.Allowed = false;
    // A loop that has to wait: some dispatchers (Windows') run a due timer without going idle first.
    QEventLoop Loop;
    QTimer::singleShot(20, &Loop, &QEventLoop::quit);
    Loop.exec();
    EXPECT_GE(Form.Updates, 1);
    EXPECT_FALSE(Form.Action->isEnabled());
}

TEST(Actions, AnEnabledShortcutExecutesAndADisabledOneFallsThroughToTheKeyHandler)
{
    TActionForm Form;
    TKeyRecorder Recorder;
    Form.Button->installEventFilter(&Recorder);
    Form.show();
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    Form.Button->setFocus();

    QTest::keyClick(static_cast<QWidget*>(Form.Button), Qt::Key_F2);
    EXPECT_EQ(Form.Executions, 1);
    EXPECT_TRUE(Form.Keys.isEmpty());

    Form.Allowed = false;
    QTest::keyClick(static_cast<QWidget*>(Form.Button), Qt::Key_F2);
    EXPECT_EQ(Form.Executions, 1);
    EXPECT_EQ(Form.Keys, QList<int>{VK_F2});
    EXPECT_EQ(Recorder.Keys, QList<int>{Qt::Key_F2});

    // The window sees the key first and may swallow it; each key reaches it once.
    Form.Swallow = true;
    QTest::keyClick(static_cast<QWidget*>(Form.Button), Qt::Key_A);
    EXPECT_EQ(Form.Keys, (QList<int>{VK_F2, 'A'}));
    EXPECT_EQ(Recorder.Keys, QList<int>{Qt::Key_F2});
}

#include "FrameworkTests.moc"
