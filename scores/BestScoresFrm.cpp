#include "scores/BestScoresFrm.h"

#include "app/Loadresstring.h"

#include <QElapsedTimer>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QValidator>

#include <algorithm>
#include <cstring>

TBestScoresForm* BestScoresForm = nullptr;

namespace {

constexpr unsigned SFirstColumnTitle = 2101;
// A 1-pixel line after every column and row: 4 columns, 11 rows.
constexpr int GridWidthExtra = 4;
constexpr int GridHeightExtra = 11;
constexpr int TextMargin = 2;
constexpr int RightTextMargin = 4;

enum TColumn { RankColumn, NameColumn, DateColumn, ScoreColumn };

void DrawText(TGridCanvas& Canvas, const QRect& Rect, const QString& Text, bool RightAligned)
{
    const int Right = Rect.x() + Rect.width();
    const int X = RightAligned ? std::max(0, Right - RightTextMargin - Canvas.TextWidth(Text)) + TextMargin
                               : Rect.x() + TextMargin;
    Canvas.TextRect(Rect, X, Rect.y() + TextMargin, Text);
}

QString RecordText(const TBestScore& Record, int Column, int Row)
{
    switch (Column) {
    case RankColumn:
        return QString::number(Row) + u'.';
    case NameColumn:
        return ReadNameField(Record.Name);
    case DateColumn: {
        const QDate Date = DateFromStored(Record.Date);
        return Date.isValid() ? QLocale().toString(Date, QLocale::ShortFormat) : QString();
    }
    default:
        return QString::number(Record.Score);
    }
}

// Keeps the text within what the name field stores, so that the player sees the name that will be
// saved: what goes past its 32 bytes, measured in the encoding it is written in, is taken back,
// whole characters from the cursor backwards, which refuses a key typed at the limit and cuts a
// pasted text at its end.
class TNameFieldValidator : public QValidator {
public:
    TNameFieldValidator(const QString& Offered, QObject* Parent) : QValidator(Parent), FOffered(Offered) {}

    State validate(QString& Input, int& Cursor) const override
    {
        // The offered name is stored as it was read, byte for byte, whatever it takes written anew.
        if (Input == FOffered) {
            FLastLength = NameFieldLength(Input);
            return Acceptable;
        }
        // An offered name from another code page may be too long written anew: an edit that does
        // not lengthen it is taken, and only what an edit adds is taken back.
        const auto TooLong = [&] {
            const int Length = NameFieldLength(Input);
            return Length > NameFieldSize && Length > FLastLength;
        };
        while (TooLong() && Cursor > 0) {
            const bool Pair = Cursor > 1 && Input[Cursor - 1].isLowSurrogate() && Input[Cursor - 2].isHighSurrogate();
            const int Length = Pair ? 2 : 1;
            Input.remove(Cursor - Length, Length);
            Cursor -= Length;
        }
        if (TooLong())
            return Invalid;
        FLastLength = NameFieldLength(Input);
        return FLastLength > NameFieldSize ? Intermediate : Acceptable;
    }

private:
    QString FOffered;
    mutable int FLastLength = 0;
};

// Drops the game's keys that are still down when the entry opens: the Space of the hard drop that
// ended the game would replace the offered name, all of it selected, with a blank. Auto-repeats of
// a held key are dropped all the time, other presses during the grace.
class TNameEntryKeys : public QObject {
public:
    TNameEntryKeys(int Grace, QObject* Parent) : QObject(Parent), FGrace(Grace) { FOpened.start(); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease) {
            if (static_cast<QKeyEvent*>(Event)->isAutoRepeat())
                return true;
            if (Event->type() == QEvent::KeyPress && FOpened.elapsed() < FGrace)
                return true;
        }
        return QObject::eventFilter(Watched, Event);
    }

private:
    QElapsedTimer FOpened;
    int FGrace;
};

} // namespace

TBestScoresForm::TBestScoresForm(QWidget* Parent) : QDialog(Parent)
{
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    int Width = GridWidthExtra;
    for (int Col = 0; Col < Grid->ColCount(); ++Col)
        Width += Grid->ColWidths(Col);
    Grid->SetClientSize(Width, Grid->RowCount() * Grid->DefaultRowHeight() + GridHeightExtra);
    Grid->move(0, 0);
    Panel1->setGeometry(0, Grid->height(), Grid->width(), Panel1->height());
    setFixedSize(Grid->width(), Grid->height() + Panel1->height());
}

void TBestScoresForm::SetStateBlock(TStateBlock* Block)
{
    FStateBlock = Block;
    Grid->viewport()->update();
}

void TBestScoresForm::hideEvent(QHideEvent* Event)
{
    QDialog::hideEvent(Event);
    // Qt centres a dialog over its parent at every showing unless it was placed: placing it
    // where it is now, dragged there or not, brings it back there next time.
    if (!Event->spontaneous())
        move(pos());
}

void TBestScoresForm::GridDrawCell(QObject*, int ACol, int ARow, const QRect& Rect, TGridDrawState)
{
    TGridCanvas& Canvas = Grid->CellCanvas();
    if (ARow == 0) {
        Canvas.Brush().Color = Grid->FixedColor();
        DrawText(Canvas, Rect, LoadResString(SFirstColumnTitle + ACol), false);
        return;
    }
    // Empty records too: their fill must not depend on the cell drawn before.
    Canvas.Brush().Color = Grid->Color();
    DrawText(Canvas, Rect, FStateBlock ? RecordText(FStateBlock->FBestScores[ARow - 1], ACol, ARow) : QString(),
             ACol != NameColumn);
}

void TBestScoresForm::SetNameEntryGrace(int Milliseconds)
{
    FNameEntryGrace = Milliseconds;
}

void TBestScoresForm::EnterName(TBestScore& Record)
{
    // The record is one of the shown table's; its row follows from its place there.
    const TBestScore* First = FStateBlock->FBestScores.data();
    const int Index = int(&Record - First);
    const QString Offered = ReadNameField(FStateBlock->FLastPlayerName);
    auto* Edit = new QLineEdit(Grid->viewport());
    Edit->setGeometry(Grid->CellRect(NameColumn, Index + 1));
    Edit->setValidator(new TNameFieldValidator(Offered, Edit));
    Edit->setText(Offered);
    Edit->show();
    Edit->setFocus();
    Edit->selectAll();
    Edit->installEventFilter(new TNameEntryKeys(FNameEntryGrace, Edit));
    exec();
    const QString Name = Edit->text();
    delete Edit;
    if (Name == Offered) {
        // Kept as stored, whatever code page wrote it: written anew it could change or be cut.
        std::memcpy(Record.Name, FStateBlock->FLastPlayerName, NameFieldSize);
        return;
    }
    WriteNameField(Record.Name, Name);
    // The record takes a blank name as typed, but it is not offered next time.
    if (!Name.trimmed().isEmpty())
        WriteNameField(FStateBlock->FLastPlayerName, Name);
}
