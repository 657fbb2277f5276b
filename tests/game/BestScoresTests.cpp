#include "GameFixture.h"
#include "framework/GridTestHooks.h"

#include <QLineEdit>
#include <QPushButton>
#include <QLocale>
#include <QTest>
#include <QWindow>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <cmath>
#include <limits>
#include <map>

namespace {

TBestScores TableOf(std::initializer_list<int> Scores)
{
    TBestScores Table{};
    int I = 0;
    for (int Score : Scores) {
        Table[I].Score = Score;
        WriteNameField(Table[I].Name, "P" + QString::number(Score));
        Table[I].Filler[0] = std::uint8_t(I + 1);
        ++I;
    }
    return Table;
}

const QDate Today(2026, 12, 7);

// What the dialog's grid writes into each cell when it is painted.
class TGridTexts {
public:
    explicit TGridTexts(TDrawGrid* Grid) : FGrid(Grid)
    {
        TGridTestHooks::OnText(Grid->CellCanvas()) = [this](const QRect& Rect, int X, int Y, const QString& Text) {
            Cells[{Rect.x(), Rect.y()}] = {Text, X - Rect.x(), Y - Rect.y(), Rect};
        };
    }
    ~TGridTexts() { TGridTestHooks::OnText(FGrid->CellCanvas()) = nullptr; }

    struct TCellText {
        QString Text;
        int DX = 0, DY = 0;
        QRect Rect;
    };
    TCellText At(int ACol, int ARow) const
    {
        const QRect Rect = FGrid->CellRect(ACol, ARow);
        return Cells.value({Rect.x(), Rect.y()});
    }
    void Paint()
    {
        Cells.clear();
        FGrid->window()->grab();
    }

private:
    TDrawGrid* FGrid;
    QMap<std::pair<int, int>, TCellText> Cells;
};

// The player's locale, as the program sees it, for one scope.
class TPlayerLocale {
public:
    explicit TPlayerLocale(const QLocale& Locale) { QLocale::setDefault(Locale); }
    ~TPlayerLocale() { QLocale::setDefault(FBefore); }

private:
    const QLocale FBefore;
};

} // namespace

TEST(BestScoreInsertion, AnEmptyTableTakesAnyScoreAboveZeroAtTheTop)
{
    TBestScores Table{};
    EXPECT_EQ(InsertBestScore(Table, 150, Today), 0);
    EXPECT_EQ(Table[0].Score, 150);
    EXPECT_EQ(DateFromStored(Table[0].Date), Today);
    EXPECT_EQ(Table[0].Date, std::trunc(Table[0].Date));
    EXPECT_EQ(InsertBestScore(Table, 0, Today), -1);
    EXPECT_EQ(Table[1].Score, 0);
}

TEST(BestScoreInsertion, AnEqualScoreGoesBelowAndTheRestMovesDownWithItsFiller)
{
    TBestScores Table = TableOf({500, 400, 300, 200, 100});
    EXPECT_EQ(InsertBestScore(Table, 300, Today), 3);
    EXPECT_EQ(Table[2].Score, 300);
    EXPECT_EQ(ReadNameField(Table[2].Name), "P300");
    EXPECT_EQ(Table[3].Score, 300);
    // The new record starts as a copy of the one it displaced, filler and name included.
    EXPECT_EQ(ReadNameField(Table[3].Name), "P200");
    EXPECT_EQ(Table[3].Filler[0], 4);
    EXPECT_EQ(Table[4].Score, 200);
    EXPECT_EQ(Table[4].Filler[0], 4);
    EXPECT_EQ(Table[5].Score, 100);
    EXPECT_EQ(Table[5].Filler[0], 5);
    EXPECT_EQ(Table[6].Score, 0);
}

TEST(BestScoreInsertion, AFullTableTakesOnlyAScoreAboveItsLowest)
{
    TBestScores Table = TableOf({1000, 900, 800, 700, 600, 500, 400, 300, 200, 100});
    const TBestScores Before = Table;
    EXPECT_EQ(InsertBestScore(Table, 100, Today), -1);
    EXPECT_EQ(std::memcmp(&Table, &Before, sizeof Table), 0);
    EXPECT_EQ(InsertBestScore(Table, 101, Today), 9);
    EXPECT_EQ(Table[9].Score, 101);
    EXPECT_EQ(Table[8].Score, 200);
}

// A record as the insertion and the name entry make it.
TBestScore Record(const QString& Name, int Score, const QDate& Date, std::uint8_t Filler = 0)
{
    TBestScore Result{};
    WriteNameField(Result.Name, Name);
    Result.Score = Score;
    Result.Date = StoredFromDate(Date);
    Result.Filler[0] = Filler;
    return Result;
}

// Name and score of each record that holds one, best first.
QStringList Listed(const TBestScores& Table)
{
    QStringList Result;
    for (const TBestScore& R : Table)
        if (R.Score != 0)
            Result << ReadNameField(R.Name) + ' ' + QString::number(R.Score);
    return Result;
}

TEST(BestScoreMerge, TwoTablesKeepTheirBestTenInTheInsertionOrderEachRecordOnce)
{
    const QDate Monday(2026, 12, 7), Tuesday(2026, 12, 8);
    // A record earned in each copy: both stay.
    TBestScores OnDisk{}, Closing{};
    OnDisk[0] = Record("Ann", 92, Tuesday);
    Closing[0] = Record("Bob", 64, Tuesday);
    EXPECT_EQ(Listed(MergeBestScores(OnDisk, Closing)), (QStringList{"Ann 92", "Bob 64"}));
    EXPECT_EQ(Listed(MergeBestScores(Closing, OnDisk)), (QStringList{"Ann 92", "Bob 64"}));

    // The closing copy loaded the table and added one: the shared records count once, their filler
    // bytes those of the table on disk.
    OnDisk = {};
    OnDisk[0] = Record("Ann", 300, Monday, 7);
    OnDisk[1] = Record("Cyd", 100, Monday, 7);
    Closing = {};
    Closing[0] = Record("Ann", 300, Monday, 9);
    Closing[1] = Record("Dee", 200, Tuesday, 9);
    Closing[2] = Record("Cyd", 100, Monday, 9);
    TBestScores Merged = MergeBestScores(OnDisk, Closing);
    EXPECT_EQ(Listed(Merged), (QStringList{"Ann 300", "Dee 200", "Cyd 100"}));
    EXPECT_EQ(Merged[0].Filler[0], 7);
    EXPECT_EQ(Merged[1].Filler[0], 9);
    EXPECT_EQ(Merged[2].Filler[0], 7);

    // Equal scores: the older date first, and on the same day the record of the table on disk.
    OnDisk = {};
    OnDisk[0] = Record("Eve", 50, Tuesday);
    Closing = {};
    Closing[0] = Record("Gus", 50, Monday);
    Closing[1] = Record("Fay", 50, Tuesday);
    EXPECT_EQ(Listed(MergeBestScores(OnDisk, Closing)), (QStringList{"Gus 50", "Eve 50", "Fay 50"}));

    // The same name, date and score twice in one table were earned twice: a table that holds a
    // third keeps three, and one holding them once more does not add one.
    OnDisk = {};
    OnDisk[0] = OnDisk[1] = Record("Hal", 40, Monday);
    Closing = OnDisk;
    Closing[2] = Record("Hal", 40, Monday);
    EXPECT_EQ(Listed(MergeBestScores(OnDisk, Closing)), (QStringList{"Hal 40", "Hal 40", "Hal 40"}));
    EXPECT_EQ(Listed(MergeBestScores(OnDisk, OnDisk)), (QStringList{"Hal 40", "Hal 40"}));

    // Twenty records: the best ten, the rest dropped.
    const TBestScores Odd = TableOf({190, 170, 150, 130, 110, 90, 70, 50, 30, 10});
    const TBestScores Even = TableOf({200, 180, 160, 140, 120, 100, 80, 60, 40, 20});
    Merged = MergeBestScores(Odd, Even);
    for (int I = 0; I < BestScoreCount; ++I)
        EXPECT_EQ(Merged[I].Score, 200 - 10 * I);

    // An empty table, as a copy that waited in vain for the file starts with, takes nothing away,
    // and a table merged with itself is itself, byte for byte.
    const TBestScores Full = TableOf({500, 400, 300, 200, 100, 90, 80, 70, 60, 50});
    const TBestScores Empty{};
    EXPECT_EQ(std::memcmp(MergeBestScores(Full, Empty).data(), Full.data(), sizeof Full), 0);
    EXPECT_EQ(std::memcmp(MergeBestScores(Empty, Full).data(), Full.data(), sizeof Full), 0);
    EXPECT_EQ(std::memcmp(MergeBestScores(Full, Full).data(), Full.data(), sizeof Full), 0);
}

// A table out of order, as a damaged or hand-made file holds one, loses none of its best records.
TEST(BestScoreMerge, TablesInAnyOrderGiveTheBestTenOfBothSorted)
{
    const TBestScores Sorted = TableOf({900, 800, 700, 600, 500, 400, 300, 200, 100, 90});
    TBestScores BestLast = TableOf({10, 20, 30, 40, 50, 60, 70, 80, 95, 5000});
    TBestScores Shuffled = TableOf({300, 5000, 20, 800, 0, 95});
    // Two 300s, the newer one first in the table: the older ranks above it.
    Shuffled[0].Date = StoredFromDate(QDate(2026, 12, 5));
    Shuffled[4] = Record("Zed", 300, QDate(2026, 12, 1), 42);
    TBestScores WithNew = Shuffled;
    WithNew[9] = Record("Ida", 1, QDate(2026, 12, 2), 77);
    const struct {
        const char* Case;
        TBestScores Earlier, Later;
        std::vector<int> Scores, Fillers; // of the merged table, best first
    } Cases[] = {
        {"best last, later", Sorted, BestLast, {5000, 900, 800, 700, 600, 500, 400, 300, 200, 100},
         {10, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"best last, earlier", BestLast, Sorted, {5000, 900, 800, 700, 600, 500, 400, 300, 200, 100},
         {10, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"shuffled with a new record", Shuffled, WithNew, {5000, 800, 300, 300, 95, 20, 1, 0, 0, 0},
         {2, 4, 42, 1, 6, 3, 77, 0, 0, 0}},
        // Nothing new to merge: the table as it is.
        {"shuffled with itself", Shuffled, Shuffled, {300, 5000, 20, 800, 300, 95, 0, 0, 0, 0},
         {1, 2, 3, 4, 42, 6, 0, 0, 0, 0}},
        // The P800 of both is one record; the shuffled P300 is newer than the sorted one.
        {"shuffled with sorted", Sorted, Shuffled, {5000, 900, 800, 700, 600, 500, 400, 300, 300, 300},
         {2, 1, 2, 3, 4, 5, 6, 7, 42, 1}},
    };
    for (const auto& C : Cases) {
        const TBestScores Merged = MergeBestScores(C.Earlier, C.Later);
        std::vector<int> Scores, Fillers;
        for (const TBestScore& R : Merged) {
            Scores.push_back(R.Score);
            Fillers.push_back(R.Filler[0]);
        }
        EXPECT_EQ(Scores, C.Scores) << C.Case;
        EXPECT_EQ(Fillers, C.Fillers) << C.Case;
    }
}

TEST(NameField, ThirtyTwoBytesFillTheFieldAndLongerNamesAreCut)
{
    char Field[NameFieldSize];
    const QString Name32(32, u'x');
    WriteNameField(Field, Name32);
    EXPECT_EQ(std::memcmp(Field, Name32.toLatin1().constData(), 32), 0);
    EXPECT_EQ(ReadNameField(Field), Name32);
    WriteNameField(Field, QString(40, u'y'));
    EXPECT_EQ(ReadNameField(Field), QString(32, u'y'));
    WriteNameField(Field, "Ann");
    EXPECT_EQ(ReadNameField(Field), "Ann");
    EXPECT_EQ(Field[3], 0);
    EXPECT_EQ(Field[31], 0);
}

TEST(NameField, UTF8IsNeverCutInsideACharacter)
{
    char Field[NameFieldSize];
    // 31 ASCII letters and a two-byte letter: the letter does not fit and is left out whole. The
    // letters are Armenian, which no ANSI code page holds, so Windows writes them as UTF-8 too.
    WriteNameField(Field, QString(31, u'a') + QChar(0x0531));
    EXPECT_EQ(ReadNameField(Field), QString(31, u'a'));
    EXPECT_EQ(Field[31], 0);
    WriteNameField(Field, QString(16, QChar(0x0531)));
    EXPECT_EQ(ReadNameField(Field), QString(16, QChar(0x0531)));
#ifndef _WIN32
    // A name typed here is UTF-8, even one the locale's code page could hold.
    const TPlayerLocale Russian(QLocale(QLocale::Russian, QLocale::Russia));
    WriteNameField(Field, QString::fromUtf8("Иван"));
    EXPECT_EQ(QByteArray(Field), QByteArray("Иван"));
#endif
}

#ifndef _WIN32
TEST(NameField, BytesThatAreNotUTF8AreReadInTheCodePageOfTheLocale)
{
    const QLocale English(QLocale::English, QLocale::UnitedStates), Russian(QLocale::Russian, QLocale::Russia),
        Japanese(QLocale::Japanese, QLocale::Japan);
    const struct {
        QLocale Locale;
        QByteArray Bytes;
        QString Text;
    } Cases[] = {
        {Russian, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", QString::fromUtf8("Иван")}, // UTF-8 stays UTF-8
        {English, "A\xFF\xFE" "B", QString::fromUtf8("AÿþB")},
        {English, "\xC0\xAF", QString::fromUtf8("À¯")},            // an overlong '/' is no UTF-8
        {Russian, "\xED\xA0\x80", QString::fromUtf8("н\u00A0Ђ")}, // nor is a surrogate
        {Russian, "\xC8\xE2\xE0\xED", QString::fromUtf8("Иван")},
        {Japanese, "\x93\xFA\x96\x7B", QString::fromUtf8("日本")},
        // The first byte of a two-byte character at the field's end.
        {Japanese, QByteArray(31, 'a') + "\x93", QString(31, u'a') + QChar(0xFFFD)},
    };
    for (const auto& C : Cases) {
        const TPlayerLocale Player(C.Locale);
        char Field[NameFieldSize] = {};
        std::memcpy(Field, C.Bytes.constData(), size_t(std::min<qsizetype>(C.Bytes.size(), NameFieldSize)));
        EXPECT_EQ(ReadNameField(Field), C.Text) << C.Bytes.toHex().constData();
    }
}
#endif

TEST(NameField, TheCodePageOfTheLocaleIsTheOneWindowsGivesIt)
{
    const struct {
        const char* Locale;
        int CodePage;
    } Cases[] = {
        {"ru_RU", 1251},   {"uk_UA", 1251},   {"be_BY", 1251},      {"bg_BG", 1251},   {"sr_Cyrl_RS", 1251},
        {"mk_MK", 1251},   {"kk_KZ", 1251},   {"bs_Cyrl_BA", 1251}, {"az_Cyrl_AZ", 1251}, {"pl_PL", 1250},
        {"cs_CZ", 1250},   {"sk_SK", 1250},   {"hu_HU", 1250},      {"sl_SI", 1250},   {"hr_HR", 1250},
        {"ro_RO", 1250},   {"sq_AL", 1250},   {"bs_Latn_BA", 1250}, {"sr_Latn_RS", 1250}, {"el_GR", 1253},
        {"tr_TR", 1254},   {"az_Latn_AZ", 1254}, {"uz_Latn_UZ", 1254}, {"he_IL", 1255}, {"ar_EG", 1256},
        {"fa_IR", 1256},   {"ur_PK", 1256},   {"et_EE", 1257},      {"lv_LV", 1257},   {"lt_LT", 1257},
        {"vi_VN", 1258},   {"th_TH", 874},    {"ja_JP", 932},       {"zh_CN", 936},    {"zh_SG", 936},
        {"zh_TW", 950},    {"zh_HK", 950},    {"zh_Hant_MO", 950},  {"ko_KR", 949},    {"en_US", 1252},
        {"de_DE", 1252},   {"pt_BR", 1252},   {"C", 1252},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(AnsiCodePage(QLocale(C.Locale)), C.CodePage) << C.Locale;
}

TEST(StoredDate, OnlyFiniteDatesInTheShownRangeBecomeDates)
{
    EXPECT_EQ(DateFromStored(37787.0), QDate(2003, 6, 15));
    EXPECT_EQ(DateFromStored(37787.9), QDate(2003, 6, 15));
    EXPECT_EQ(DateFromStored(-1.5), QDate(1899, 12, 29));
    EXPECT_EQ(StoredFromDate(QDate(2003, 6, 15)), 37787.0);
    EXPECT_FALSE(DateFromStored(0.0).isValid());
    EXPECT_FALSE(DateFromStored(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DateFromStored(std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(DateFromStored(-std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(DateFromStored(1e300).isValid());
    EXPECT_FALSE(DateFromStored(2958466.0).isValid());
    EXPECT_EQ(DateFromStored(2958465.0), QDate(9999, 12, 31));
    EXPECT_EQ(DateFromStored(-657434.0), QDate(100, 1, 1));
    EXPECT_FALSE(DateFromStored(-657435.0).isValid());
}

using BestScoresDialog = GameTest;

TEST_F(BestScoresDialog, TheGridFillsTheDialogAboveThePanel)
{
    TDrawGrid* Grid = BestScoresForm->Grid;
    EXPECT_EQ(Grid->ClientSize(), QSize(426, 231));
    BestScoresForm->show();
    EXPECT_EQ(Grid->viewport()->size(), QSize(426, 231));
    EXPECT_EQ(BestScoresForm->size(), QSize(Grid->width(), Grid->height() + 41));
    EXPECT_EQ(BestScoresForm->BitBtn1->geometry(), QRect(173, 8, 75, 25));
    EXPECT_EQ(BestScoresForm->windowTitle(), "Best Scores");
    EXPECT_EQ(Grid->CellRect(3, 10), QRect(32 + 232 + 83 + 3, 10 * 21, 75, 20));
}

TEST_F(BestScoresDialog, AFirstRunShowsTitlesAndTenEmptyRanks)
{
    TGridTexts Texts(BestScoresForm->Grid);
    Texts.Paint();
    EXPECT_EQ(Texts.At(0, 0).Text, "No");
    EXPECT_EQ(Texts.At(1, 0).Text, "Name");
    EXPECT_EQ(Texts.At(2, 0).Text, "Date");
    EXPECT_EQ(Texts.At(3, 0).Text, "Score");
    for (int Row = 1; Row <= 10; ++Row) {
        EXPECT_EQ(Texts.At(0, Row).Text, QString::number(Row) + ".");
        EXPECT_EQ(Texts.At(1, Row).Text, "");
        EXPECT_EQ(Texts.At(2, Row).Text, "");
        EXPECT_EQ(Texts.At(3, Row).Text, "0");
    }
}

TEST_F(BestScoresDialog, RecordsAreShownWithTheShortDateAndNumbersAlignedRight)
{
    TStateBlock& Block = Form->StateBlock();
    WriteNameField(Block.FBestScores[0].Name, "Ann");
    Block.FBestScores[0].Date = StoredFromDate(QDate(2003, 6, 15));
    Block.FBestScores[0].Score = 1234;
    Block.FBestScores[1].Date = std::numeric_limits<double>::quiet_NaN();
    Block.FBestScores[1].Score = 5;
    TGridTexts Texts(BestScoresForm->Grid);
    Texts.Paint();

    const auto Name = Texts.At(1, 1);
    EXPECT_EQ(Name.Text, "Ann");
    EXPECT_EQ(Name.DX, 2);
    EXPECT_EQ(Name.DY, 2);
    const auto Date = Texts.At(2, 1);
    EXPECT_EQ(Date.Text, QLocale().toString(QDate(2003, 6, 15), QLocale::ShortFormat));
    const QFontMetrics Metrics(BestScoresForm->Grid->font());
    EXPECT_EQ(Date.DX, 83 - 4 - Metrics.horizontalAdvance(Date.Text) + 2);
    const auto Score = Texts.At(3, 1);
    EXPECT_EQ(Score.Text, "1234");
    EXPECT_EQ(Score.DX, 75 - 4 - Metrics.horizontalAdvance("1234") + 2);
    EXPECT_EQ(Texts.At(0, 10).Text, "10.");
    EXPECT_EQ(Texts.At(0, 10).DX, 32 - 4 - Metrics.horizontalAdvance("10.") + 2);
    EXPECT_EQ(Texts.At(2, 2).Text, "");
}

TEST_F(BestScoresDialog, EveryRecordRowHasTheGridColourWhateverWasDrawnBefore)
{
    Form->StateBlock().FBestScores[0].Score = 10;
    BestScoresForm->Grid->SetColor(QColor(0x12, 0x34, 0x56));
    BestScoresForm->Grid->SetFixedColor(QColor(0xAB, 0xCD, 0xEF));
    BestScoresForm->show();
    const QImage Image = BestScoresForm->Grid->viewport()->grab().toImage();
    BestScoresForm->hide();
    for (int Row : {1, 2, 10}) {
        const QRect Cell = BestScoresForm->Grid->CellRect(1, Row);
        EXPECT_EQ(Image.pixelColor(Cell.right() - 1, Cell.bottom() - 1), QColor(0x12, 0x34, 0x56)) << Row;
    }
    const QRect Title = BestScoresForm->Grid->CellRect(1, 0);
    EXPECT_EQ(Image.pixelColor(Title.right() - 1, Title.bottom() - 1), QColor(0xAB, 0xCD, 0xEF));
}

TEST_F(BestScoresDialog, AGameThatEndsWithAWinningScoreAsksForTheNameOverItsRow)
{
    WriteNameField(Form->StateBlock().FLastPlayerName, "Bea");
    QRect EditPlace;
    bool Framed = false;
    QString Offered;
    bool Selected = false;
    QString ShownScore;
    Modals.OnModal = [&](QWidget* Dialog) {
        auto* Edit = Dialog->findChild<QLineEdit*>();
        ASSERT_NE(Edit, nullptr);
        EditPlace = Edit->geometry();
        Framed = Edit->hasFrame();
        Offered = Edit->text();
        Selected = Edit->selectedText() == Offered;
        TGridTexts Texts(BestScoresForm->Grid);
        Texts.Paint();
        ShownScore = Texts.At(3, 1).Text;
        QTest::keyClicks(Edit, "Cyd");
        QTest::keyClick(Edit, Qt::Key_Return);
    };
    Play();
    Form->SetScore(150);
    ASSERT_TRUE(Form->Execute(Form->aStop));
    EXPECT_EQ(Modals.Opened, 1);
    EXPECT_EQ(EditPlace, BestScoresForm->Grid->CellRect(1, 1));
    EXPECT_TRUE(Framed);
    EXPECT_EQ(Offered, "Bea");
    EXPECT_TRUE(Selected);
    EXPECT_EQ(ShownScore, "150");
    EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), "Cyd");
    EXPECT_EQ(ReadNameField(Form->StateBlock().FLastPlayerName), "Cyd");
    EXPECT_EQ(DateFromStored(Form->StateBlock().FBestScores[0].Date), QDate::currentDate());
    EXPECT_EQ(Form->StateBlock().FBestScores[0].Score, 150);
    EXPECT_EQ(BestScoresForm->findChild<QLineEdit*>(), nullptr);
}

// Files written on Windows hold names in its ANSI code page: they show as the player wrote them,
// and an entry that confirms the name offered keeps its bytes as they were.
TEST_F(BestScoresDialog, ANameInTheLocalesCodePageIsShownAndKeptByteForByte)
{
    const struct {
        QLocale Locale;
        int CodePage;
        QByteArray Bytes;
        QString Text;
    } Cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), 1252, "Jos\xE9 M\xFCller", QString::fromUtf8("José Müller")},
        {QLocale(QLocale::Russian, QLocale::Russia), 1251, "\xC8\xE2\xE0\xED", QString::fromUtf8("Иван")},
        {QLocale(QLocale::Japanese, QLocale::Japan), 932, "\x93\xFA\x96\x7B", QString::fromUtf8("日本")},
        // 32 letters: 64 bytes of UTF-8 if it were written anew.
        {QLocale(QLocale::Russian, QLocale::Russia), 1251, QByteArray(32, '\xC8'), QString(32, QChar(0x0418))},
#ifndef _WIN32
        // A byte the code page leaves undefined shows as a replacement and still stays.
        {QLocale(QLocale::English, QLocale::UnitedStates), 1252, "A\x81" "B", QString("A") + QChar(0xFFFD) + "B"},
#endif
    };
    for (const auto& C : Cases) {
#ifdef _WIN32
        // Windows reads in the system's code page, whatever the locale.
        if (C.CodePage != int(GetACP()))
            continue;
#endif
        SCOPED_TRACE(C.CodePage);
        const TPlayerLocale Player(C.Locale);
        TStateBlock& Block = Form->StateBlock();
        Block = TStateBlock{};
        std::memcpy(Block.FLastPlayerName, C.Bytes.constData(), size_t(C.Bytes.size()));
        std::memcpy(Block.FBestScores[0].Name, C.Bytes.constData(), size_t(C.Bytes.size()));
        Block.FBestScores[0].Score = 500;
        const TStateBlock Before = Block;

        QString Offered, Shown;
        Modals.Forget();
        Modals.OnModal = [&](QWidget* Dialog) {
            auto* Edit = Dialog->findChild<QLineEdit*>();
            Offered = Edit->text();
            TGridTexts Texts(BestScoresForm->Grid);
            Texts.Paint();
            Shown = Texts.At(1, 1).Text;
            QTest::keyClick(Edit, Qt::Key_Return);
        };
        Play();
        Form->SetScore(150);
        Form->Execute(Form->aStop);
        EXPECT_EQ(Offered, C.Text);
        EXPECT_EQ(Shown, C.Text);
        EXPECT_EQ(QByteArray(Block.FBestScores[1].Name, NameFieldSize),
                  QByteArray(Before.FLastPlayerName, NameFieldSize));
        EXPECT_EQ(QByteArray(Block.FLastPlayerName, NameFieldSize), QByteArray(Before.FLastPlayerName, NameFieldSize));

        // A name typed anew is written in the field's own encoding: here UTF-8.
        const QString Typed = QString::fromUtf8("Zoë");
        Modals.Forget();
        Modals.OnModal = [&](QWidget* Dialog) {
            QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, Typed);
            QApplication::sendEvent(Dialog->findChild<QLineEdit*>(), &Press);
            Dialog->close();
        };
        Play();
        Form->SetScore(120);
        Form->Execute(Form->aStop);
        ASSERT_EQ(Block.FBestScores[2].Score, 120);
        EXPECT_EQ(ReadNameField(Block.FBestScores[2].Name), Typed);
        EXPECT_EQ(ReadNameField(Block.FLastPlayerName), Typed);
#ifndef _WIN32
        EXPECT_EQ(QByteArray(Block.FBestScores[2].Name), Typed.toUtf8());
        EXPECT_EQ(QByteArray(Block.FLastPlayerName), Typed.toUtf8());
#else
        // The system's code page, as other programs there read the field.
        if (GetACP() == 1252) {
            EXPECT_EQ(QByteArray(Block.FBestScores[2].Name), QByteArray("Zo\xEB"));
            EXPECT_EQ(QByteArray(Block.FLastPlayerName), QByteArray("Zo\xEB"));
        }
#endif
    }
}

#ifndef _WIN32
// Written anew, 32 Cyrillic letters of a Windows file take 64 bytes: an edit that does not
// lengthen the name is taken as it is, and a letter more is refused.
TEST_F(BestScoresDialog, AnEditOfAnOfferedNameThatOnlyItsCodePageHoldsTakesNothingAwayButTheEdit)
{
    const TPlayerLocale Russian(QLocale(QLocale::Russian, QLocale::Russia));
    std::memset(Form->StateBlock().FLastPlayerName, '\xC8', NameFieldSize);
    const QString Offered(32, QChar(0x0418));
    QStringList Seen;
    Modals.OnModal = [&](QWidget* Dialog) {
        auto* Edit = Dialog->findChild<QLineEdit*>();
        Edit->end(false);
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, "x");
        QApplication::sendEvent(Edit, &Press);
        Seen << Edit->text();
        QTest::keyClick(Edit, Qt::Key_Backspace);
        Seen << Edit->text();
        QApplication::sendEvent(Edit, &Press);
        Seen << Edit->text();
        Dialog->close();
    };
    Play();
    Form->SetScore(10);
    Form->Execute(Form->aStop);
    EXPECT_EQ(Seen, (QStringList{Offered, Offered.left(31), Offered.left(31)}));
    // The field then keeps what fits of it.
    EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), Offered.left(16));
}
#endif

// The Space of a hard drop that ended the game is still down, or repeating, as the entry opens.
TEST_F(BestScoresDialog, KeysOfTheGameStillHeldWhenTheEntryOpensDoNotReachIt)
{
    BestScoresForm->SetNameEntryGrace(NameEntryGrace);
    WriteNameField(Form->StateBlock().FLastPlayerName, "Bea");
    QStringList Seen;
    Modals.OnModal = [&](QWidget* Dialog) {
        auto* Edit = Dialog->findChild<QLineEdit*>();
        const auto SendSpace = [&](bool AutoRepeat) {
            QKeyEvent Press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", AutoRepeat);
            QApplication::sendEvent(Edit, &Press);
            Seen << Edit->text();
        };
        SendSpace(false);
        QTest::keyClick(Edit, Qt::Key_Return);
        Seen << (Dialog->isVisible() ? "open" : "closed");
        QTest::qWait(NameEntryGrace);
        SendSpace(true);
        SendSpace(false);
        QTest::keyClick(Edit, Qt::Key_Return);
    };
    Play();
    Form->SetScore(150);
    Form->Execute(Form->aStop);
    EXPECT_EQ(Seen, (QStringList{"Bea", "open", "Bea", " "}));
    // A blank name stays in its record, but the last name is still the one typed before.
    EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), " ");
    EXPECT_EQ(ReadNameField(Form->StateBlock().FLastPlayerName), "Bea");
}

TEST_F(BestScoresDialog, ABlankNameIsStoredInItsRecordButNotOfferedNextTime)
{
    for (const QString& Blank : {QString(), QString("   "), QString("\t ")}) {
        WriteNameField(Form->StateBlock().FLastPlayerName, "Bea");
        Modals.Forget();
        Modals.OnModal = [&](QWidget* Dialog) {
            Dialog->findChild<QLineEdit*>()->setText(Blank);
            Dialog->close();
        };
        Play();
        Form->SetScore(Form->StateBlock().FBestScores[0].Score + 10);
        Form->Execute(Form->aStop);
        EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), Blank);
        EXPECT_EQ(ReadNameField(Form->StateBlock().FLastPlayerName), "Bea");
    }
}

TEST_F(BestScoresDialog, ClosingTheEntryWithTheCloseBoxKeepsTheNameCutTo32Bytes)
{
    Modals.OnModal = [&](QWidget* Dialog) {
        auto* Edit = Dialog->findChild<QLineEdit*>();
        Edit->setText(QString(40, u'n'));
        Dialog->close();
    };
    Play();
    Form->SetScore(10);
    Form->Execute(Form->aStop);
    EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), QString(32, u'n'));
    EXPECT_EQ(ReadNameField(Form->StateBlock().FLastPlayerName), QString(32, u'n'));

    // The next entry offers the name as it was stored.
    QString Offered;
    Modals.Forget();
    Modals.OnModal = [&](QWidget* Dialog) {
        Offered = Dialog->findChild<QLineEdit*>()->text();
        Dialog->close();
    };
    Play();
    Form->SetScore(20);
    Form->Execute(Form->aStop);
    EXPECT_EQ(Offered, QString(32, u'n'));
    EXPECT_EQ(Form->StateBlock().FBestScores[0].Score, 20);
    EXPECT_EQ(Form->StateBlock().FBestScores[1].Score, 10);
}

// Typing stops where the 32-byte field ends, never inside a character: the edit box shows the
// name that is stored.
TEST_F(BestScoresDialog, TheNameEntryTakesOnlyWhatTheFieldKeeps)
{
    const QString Smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // four bytes, two UTF-16 units
    // Two bytes; Armenian, which no ANSI code page holds, so it is UTF-8 on Windows too.
    const QString TwoBytes = QString(QChar(0x0531));
    QStringList Seen;
    Modals.OnModal = [&](QWidget* Dialog) {
        auto* Edit = Dialog->findChild<QLineEdit*>();
        const auto Type = [&](const QString& Text) {
            QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, Text);
            QApplication::sendEvent(Edit, &Press);
        };
        const auto Retype = [&](const QString& Start, const QString& Typed) {
            Edit->setText(Start);
            Edit->end(false);
            Type(Typed);
            Seen << Edit->text();
        };
        Retype(QString(31, u'a'), TwoBytes);   // 33 bytes: refused
        Retype(QString(30, u'a'), TwoBytes);   // 32 bytes: taken
        Retype(QString(30, u'a') + TwoBytes, "b");
        Retype(QString(29, u'a'), Smile);    // 33 bytes: refused whole
        Retype(QString(28, u'a'), Smile);    // 32 bytes: taken
        // Typed in the middle, it is refused just the same, and what follows the cursor stays.
        Edit->setText(QString(32, u'c'));
        Edit->setCursorPosition(5);
        Type("d");
        Seen << Edit->text();
        // A pasted text is cut at its end, at a character's start.
        Edit->setText(QString(26, u'a'));
        Edit->setCursorPosition(2);
        Edit->insert("zz" + TwoBytes + TwoBytes + TwoBytes);
        Seen << Edit->text();
        Dialog->close();
    };
    Play();
    Form->SetScore(10);
    Form->Execute(Form->aStop);
    const QString Pasted = "aazz" + TwoBytes + TwoBytes + QString(24, u'a');
    EXPECT_EQ(Seen, (QStringList{QString(31, u'a'), QString(30, u'a') + TwoBytes, QString(30, u'a') + TwoBytes,
                                 QString(29, u'a'), QString(28, u'a') + Smile, QString(32, u'c'), Pasted}));
    EXPECT_EQ(ReadNameField(Form->StateBlock().FBestScores[0].Name), Pasted);
}

TEST_F(BestScoresDialog, IsCentredOverTheMainWindowTheFirstTimeAndLaterComesBackWhereItWasLeft)
{
    Form->move(100, 80);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    BestScoresForm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(BestScoresForm));
    EXPECT_LE((BestScoresForm->frameGeometry().center() - Form->frameGeometry().center()).manhattanLength(), 2);
    // Dragged by the player: the window system moves it, the program does not.
    const QPoint Dragged(300, 250);
    BestScoresForm->windowHandle()->setFramePosition(Dragged);
    QCoreApplication::processEvents();
    ASSERT_EQ(BestScoresForm->frameGeometry().topLeft(), Dragged);
    BestScoresForm->hide();
    Form->move(400, 300);
    for (int Showing = 0; Showing < 2; ++Showing) {
        BestScoresForm->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(BestScoresForm->frameGeometry().topLeft(), Dragged) << Showing;
        BestScoresForm->hide();
    }
}

TEST_F(BestScoresDialog, AScoreOfZeroOrOneThatEntersNowhereOpensNoDialog)
{
    Play();
    Form->Execute(Form->aStop);
    EXPECT_EQ(Modals.Opened, 0);
    for (int I = 0; I < BestScoreCount; ++I)
        Form->StateBlock().FBestScores[I].Score = 100;
    Play();
    Form->SetScore(100);
    Form->Execute(Form->aStop);
    EXPECT_EQ(Modals.Opened, 0);
}

TEST_F(BestScoresDialog, TheBestScoresActionShowsTheTableOutsideARunningGame)
{
    ASSERT_TRUE(Form->Execute(Form->aBestScores));
    EXPECT_EQ(Modals.Opened, 1);
    Play();
    EXPECT_FALSE(Form->Execute(Form->aBestScores));
    Form->Execute(Form->aPause);
    Modals.Forget();
    EXPECT_TRUE(Form->Execute(Form->aBestScores));
    EXPECT_EQ(Modals.Opened, 2);
}

TEST_F(BestScoresDialog, TheEditBoxCoversTheNameCellOfTheTenthRecord)
{
    for (int I = 0; I < BestScoreCount; ++I)
        Form->StateBlock().FBestScores[I].Score = 1000 - 100 * I;
    QRect EditPlace;
    Modals.OnModal = [&](QWidget* Dialog) {
        EditPlace = Dialog->findChild<QLineEdit*>()->geometry();
        Dialog->close();
    };
    Play();
    Form->SetScore(101);
    Form->Execute(Form->aStop);
    EXPECT_EQ(Form->StateBlock().FBestScores[9].Score, 101);
    EXPECT_EQ(Form->StateBlock().FBestScores[8].Score, 200);
    EXPECT_EQ(EditPlace, QRect(33, 10 * 21, 232, 20));
}
