#include "scores/BestScores.h"

#include <algorithm>
#include <cmath>
#include <cstring>


namespace {

const QDate StoredDateOrigin(1899, 12, 30);
// Years 100 to 9999.
constexpr double FirstShownDay = -657434;
constexpr double EndShownDay = 2958466;

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
