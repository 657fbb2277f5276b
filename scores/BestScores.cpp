#include "scores/BestScores.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>


namespace {

const QDate StoredDateOrigin(1899, 12, 30);
// Years 100 to 9999.
constexpr double FirstShownDay = -657434;
constexpr double EndShownDay = 2958466;

bool SameRecord(const TBestScore& A, const TBestScore& B)
{
    // Dates byte for byte, so that a NaN read from a damaged file still matches itself.
    return A.Score == B.Score && std::memcmp(A.Name, B.Name, NameFieldSize) == 0 &&
           std::memcmp(&A.Date, &B.Date, sizeof A.Date) == 0;
}

// A date that is not a number ranks as the newest, which keeps the order strict for a sort.
double DateRank(double Date)
{
    return std::isnan(Date) ? std::numeric_limits<double>::infinity() : Date;
}

bool RanksAbove(const TBestScore& A, const TBestScore& B)
{
    return A.Score > B.Score || (A.Score == B.Score && DateRank(A.Date) < DateRank(B.Date));
}

} // namespace

QString ReadNameField(const char (&Field)[NameFieldSize])
{
    const auto* End = static_cast<const char*>(std::memchr(Field, 0, NameFieldSize));
    const int Length = End ? int(End - Field) : NameFieldSize;
    return QString::fromUtf8(Field, Length);
}

void WriteNameField(char (&Field)[NameFieldSize], const QString& Text)
{
    const QByteArray Utf8 = Text.toUtf8();
    int Length = std::min<int>(int(Utf8.size()), NameFieldSize);
    // Back off to the start of a character: continuation bytes are 10xxxxxx.
    if (Length < Utf8.size())
        while (Length > 0 && (static_cast<unsigned char>(Utf8[Length]) & 0xC0) == 0x80)
            --Length;
    std::memset(Field, 0, NameFieldSize);
    std::memcpy(Field, Utf8.constData(), size_t(Length));
}

QDate DateFromStored(double Stored)
{
    if (!std::isfinite(Stored) || Stored == 0.0 || Stored < FirstShownDay || Stored >= EndShownDay)
        return QDate();
    return StoredDateOrigin.addDays(qint64(std::trunc(Stored)));
}

double StoredFromDate(const QDate& Date)
{
    return double(StoredDateOrigin.daysTo(Date));
}

int InsertBestScore(TBestScores& Table, std::int32_t Score, const QDate& Today)
{
    if (Score == 0)
        return -1;
    for (int I = 0; I < BestScoreCount; ++I) {
        if (Table[I].Score >= Score)
            continue;
        std::copy_backward(Table.begin() + I, Table.end() - 1, Table.end());
        Table[I].Date = StoredFromDate(Today);
        Table[I].Score = Score;
        return I;
    }
    return -1;
}

TBestScores MergeBestScores(const TBestScores& Earlier, const TBestScores& Later)
{
    // Earlier's records, then Later's less those that pair off with one of Earlier's: each
    // record of one table cancels at most one of the other, so a record earned twice stays twice.
    std::vector<const TBestScore*> Union;
    Union.reserve(2 * BestScoreCount);
    for (const TBestScore& Record : Earlier)
        Union.push_back(&Record);
    std::array<bool, BestScoreCount> Paired{};
    for (const TBestScore& Record : Later) {
        int I = 0;
        while (I < BestScoreCount && (Paired[I] || !SameRecord(Earlier[I], Record)))
            ++I;
        if (I < BestScoreCount)
            Paired[I] = true;
        else
            Union.push_back(&Record);
    }
    // Nothing of Later's is new: the table stays as Earlier holds it, so that a save that brings no
    // record leaves a file's order alone, even one out of order.
    if (Union.size() == size_t(BestScoreCount))
        return Earlier;
    // Stable: among records that rank alike, Earlier's come first, each table's in its own order.
    std::stable_sort(Union.begin(), Union.end(),
                     [](const TBestScore* A, const TBestScore* B) { return RanksAbove(*A, *B); });
    TBestScores Merged{};
    for (int I = 0; I < BestScoreCount; ++I)
        Merged[I] = *Union[I];
    return Merged;
}
