#include "scores/BestScores.h"

#include <algorithm>
#include <cmath>
#include <cstring>


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

bool RanksAbove(const TBestScore& A, const TBestScore& B)
{
    return A.Score > B.Score || (A.Score == B.Score && A.Date < B.Date);
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
    TBestScores Merged{};
    std::array<bool, BestScoreCount> EarlierTaken{}, LaterTaken{};
    // Marks the first record of Table not yet taken that is the same as Record.
    const auto TakeSame = [](const TBestScores& Table, std::array<bool, BestScoreCount>& Taken,
                             const TBestScore& Record) {
        for (int I = 0; I < BestScoreCount; ++I)
            if (!Taken[I] && SameRecord(Table[I], Record)) {
                Taken[I] = true;
                return;
            }
    };
    int E = 0, L = 0;
    for (TBestScore& Place : Merged) {
        while (E < BestScoreCount && EarlierTaken[E])
            ++E;
        while (L < BestScoreCount && LaterTaken[L])
            ++L;
        if (E == BestScoreCount && L == BestScoreCount)
            break;
        if (L == BestScoreCount || (E < BestScoreCount && !RanksAbove(Later[L], Earlier[E]))) {
            Place = Earlier[E];
            EarlierTaken[E] = true;
            TakeSame(Later, LaterTaken, Place);
        } else {
            Place = Later[L];
            LaterTaken[L] = true;
            TakeSame(Earlier, EarlierTaken, Place);
        }
    }
    return Merged;
}
