#include "scores/BestScores.h"

#include <QByteArrayView>
#include <QLocale>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

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
#ifndef _WIN32
constexpr char Replacement[] = {'\xEF', '\xBF', '\xBD'}; // U+FFFD in UTF-8
#endif

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

#ifdef _WIN32

QString DecodeAnsi(QByteArrayView Bytes)
{
    // At most one UTF-16 unit a byte in an ANSI code page, and two for four bytes of UTF-8.
    wchar_t Wide[NameFieldSize];
    const int Length = MultiByteToWideChar(CP_ACP, 0, Bytes.data(), int(Bytes.size()), Wide, NameFieldSize);
    return QString::fromWCharArray(Wide, std::max(Length, 0));
}

// The name in the system's ANSI code page, or false when the page lacks one of its characters.
bool EncodeAnsi(const QString& Text, QByteArray& Bytes)
{
    // Where the system's code page is UTF-8 itself, it refuses the flags below; UTF-8 it is anyway.
    if (Text.isEmpty() || GetACP() == CP_UTF8)
        return false;
    const std::wstring Wide = Text.toStdWString();
    BOOL UsedDefault = FALSE;
    const int Size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide.data(), int(Wide.size()), nullptr, 0,
                                         nullptr, &UsedDefault);
    if (Size <= 0 || UsedDefault)
        return false;
    Bytes.resize(Size);
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide.data(), int(Wide.size()), Bytes.data(), Size,
                               nullptr, &UsedDefault) == Size &&
           !UsedDefault;
}

#else

QString DecodeAnsi(QByteArrayView Bytes)
{
    const QByteArray CodePage = "CP" + QByteArray::number(AnsiCodePage(QLocale()));
    const iconv_t Converter = iconv_open("UTF-8", CodePage.constData());
    if (Converter == iconv_t(-1))
        return QString::fromUtf8(Bytes);
    // Every byte gives at most one character of at most three bytes, or a replacement of three.
    char Decoded[NameFieldSize * 4];
    char* In = const_cast<char*>(Bytes.data());
    size_t InLeft = size_t(Bytes.size());
    char* Out = Decoded;
    size_t OutLeft = sizeof Decoded;
    while (InLeft > 0 && iconv(Converter, &In, &InLeft, &Out, &OutLeft) == size_t(-1)) {
        if (errno == E2BIG || OutLeft < sizeof Replacement)
            break;
        // A byte the code page leaves undefined, or a character cut off at the field's end.
        std::memcpy(Out, Replacement, sizeof Replacement);
        Out += sizeof Replacement;
        OutLeft -= sizeof Replacement;
        ++In;
        --InLeft;
    }
    // A code page that combines marks with the letter before holds the last letter back until now.
    iconv(Converter, nullptr, nullptr, &Out, &OutLeft);
    iconv_close(Converter);
    return QString::fromUtf8(Decoded, Out - Decoded);
}

#endif

// A name as it is written before the field cuts it: UTF-8, or on Windows the system's ANSI code
// page when that holds every character of it, as other programs there read the field.
struct TNameBytes {
    QByteArray Bytes;
    bool Ansi = false;
};

TNameBytes EncodeName(const QString& Text)
{
#ifdef _WIN32
    QByteArray Ansi;
    if (EncodeAnsi(Text, Ansi))
        return {Ansi, true};
#endif
    return {Text.toUtf8(), false};
}

// How many of the name's bytes the field keeps: as many as fit, never splitting a character.
int KeptLength(const TNameBytes& Name)
{
    if (Name.Bytes.size() <= NameFieldSize)
        return int(Name.Bytes.size());
#ifdef _WIN32
    if (Name.Ansi) {
        int Length = 0;
        while (true) {
            const int Next = Length + (IsDBCSLeadByteEx(CP_ACP, BYTE(Name.Bytes[Length])) ? 2 : 1);
            if (Next > NameFieldSize)
                return Length;
            Length = Next;
        }
    }
#endif
    // Back off to the start of a character: continuation bytes are 10xxxxxx.
    int Length = NameFieldSize;
    while (Length > 0 && (static_cast<unsigned char>(Name.Bytes[Length]) & 0xC0) == 0x80)
        --Length;
    return Length;
}

} // namespace

int AnsiCodePage(const QLocale& Locale)
{
    // Windows gives Cyrillic to every language written in it, Serbian, Bosnian and Azeri included.
    if (Locale.script() == QLocale::CyrillicScript)
        return 1251;
    switch (Locale.language()) {
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Romanian:
    case QLocale::Albanian:
    case QLocale::Bosnian:
    case QLocale::Serbian:
        return 1250;
    case QLocale::Greek:
        return 1253;
    case QLocale::Turkish:
    case QLocale::Azerbaijani:
        return 1254;
    case QLocale::Uzbek:
        return Locale.script() == QLocale::LatinScript ? 1254 : 1252;
    case QLocale::Hebrew:
        return 1255;
    case QLocale::Arabic:
    case QLocale::Persian:
    case QLocale::Urdu:
        return 1256;
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
        return 1257;
    case QLocale::Vietnamese:
        return 1258;
    case QLocale::Thai:
        return 874;
    case QLocale::Japanese:
        return 932;
    case QLocale::Korean:
        return 949;
    case QLocale::Chinese:
        return Locale.script() == QLocale::TraditionalChineseScript ? 950 : 936;
    default:
        return 1252;
    }
}

QString ReadNameField(const char (&Field)[NameFieldSize])
{
    const auto* End = static_cast<const char*>(std::memchr(Field, 0, NameFieldSize));
    const QByteArrayView Bytes(Field, End ? End - Field : NameFieldSize);
    // Only UTF-8 is written here; other bytes come from a file written in an ANSI code page.
    return Bytes.isValidUtf8() ? QString::fromUtf8(Bytes) : DecodeAnsi(Bytes);
}

int NameFieldLength(const QString& Text)
{
    return int(EncodeName(Text).Bytes.size());
}

void WriteNameField(char (&Field)[NameFieldSize], const QString& Text)
{
    const TNameBytes Name = EncodeName(Text);
    std::memset(Field, 0, NameFieldSize);
    std::memcpy(Field, Name.Bytes.constData(), size_t(KeptLength(Name)));
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
