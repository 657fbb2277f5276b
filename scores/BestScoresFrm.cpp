#include "scores/BestScoresFrm.h"

#include "app/Loadresstring.h"

#include <QHideEvent>
#include <QLineEdit>
#include <QLocale>
#include <QValidator>

#include <algorithm>

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
// saved: what goes past its 32 bytes of UTF-8 is taken back, whole characters from the cursor
// backwards, which refuses a key typed at the limit and cuts a pasted text at its end.
class TNameFieldValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& Input, int& Cursor) const override
    {
        while (Input.toUtf8().size() > NameFieldSize && Cursor > 0) {
            const bool Pair = Cursor > 1 && Input[Cursor - 1].isLowSurrogate() && Input[Cursor - 2].isHighSurrogate();
            const int Length = Pair ? 2 : 1;
            Input.remove(Cursor - Length, Length);
            Cursor -= Length;
        }
        return Input.toUtf8().size() > NameFieldSize ? Invalid : Acceptable;
    }
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
        Canvas.Brush.Color = Grid->FixedColor();
        DrawText(Canvas, Rect, LoadResString(SFirstColumnTitle + ACol), false);
        return;
    }
    // Empty records too: their fill must not depend on the cell drawn before.
    Canvas.Brush.Color = Grid->Color();
    DrawText(Canvas, Rect, FStateBlock ? RecordText(FStateBlock->FBestScores[ARow - 1], ACol, ARow) : QString(),
             ACol != NameColumn);
}

void TBestScoresForm::EnterName(TBestScore& Record)
{
    // The record is one of the shown table's; its row follows from its place there.
    const TBestScore* First = FStateBlock->FBestScores.data();
    const int Index = int(&Record - First);
    auto* Edit = new QLineEdit(Grid->viewport());
    Edit->setGeometry(Grid->CellRect(NameColumn, Index + 1));
    Edit->setValidator(new TNameFieldValidator(Edit));
    Edit->setText(ReadNameField(FStateBlock->FLastPlayerName));
    Edit->show();
    Edit->setFocus();
    Edit->selectAll();
    exec();
    const QString Name = Edit->text();
    WriteNameField(FStateBlock->FLastPlayerName, Name);
    WriteNameField(Record.Name, Name);
    delete Edit;
}
