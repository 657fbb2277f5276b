#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <cstdint>

// The records and the state block are the state file's image, byte for byte, little-endian.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the state block is stored in the host's byte order");

constexpr int NameFieldSize = 32;
constexpr int BestScoreCount = 10;

struct TBestScore {
    char Name[NameFieldSize];
    double Date;         // days since 30 December 1899; 0 means no date
    std::int32_t Score;
    std::uint8_t Filler[4]; // kept as read, moved with the record
};

using TBestScores = std::array<TBestScore, BestScoreCount>;

struct TStateBlock {
    std::int32_t FSavedLeft;
    std::int32_t FSavedTop;
    char FLastPlayerName[NameFieldSize];
    TBestScores FBestScores;
};

static_assert(sizeof(TBestScore) == 48);
static_assert(offsetof(TBestScore, Date) == 32);
static_assert(offsetof(TBestScore, Score) == 40);
static_assert(sizeof(TStateBlock) == 520);
static_assert(offsetof(TStateBlock, FSavedTop) == 4);
static_assert(offsetof(TStateBlock, FLastPlayerName) == 8);
static_assert(offsetof(TStateBlock, FBestScores) == 40);

// The ANSI code page Windows gives the locale's language and script (1251 for Cyrillic, 1250 for
// Central European, 932 for Japanese, ...; 1252 for the rest). A name field that is not UTF-8 comes
// from a file written on Windows and is read in it, on Windows in the system's own code page.
int AnsiCodePage(const QLocale& Locale);

// A text field: the characters up to the first zero byte or the field's end, as UTF-8 when they
// are valid UTF-8, else in the ANSI code page; bytes that code page lacks show as replacement
// characters.
QString ReadNameField(const char (&Field)[NameFieldSize]);
// The text in the field's encoding, cut to 32 bytes without splitting a character, the rest zero:
// UTF-8, or on Windows the system's ANSI code page when that holds every character of the text.
void WriteNameField(char (&Field)[NameFieldSize], const QString& Text);
// How many bytes the text takes in the encoding WriteNameField chooses for it, before any cut.
int NameFieldLength(const QString& Text);

// The stored date as a date, or an invalid date when it is 0, not a number, or cannot be shown.
QDate DateFromStored(double Stored);
double StoredFromDate(const QDate& Date);

// The insertion rule: a score above 0 takes the place of the first record with a lower score,
// the records below moving down one place and the last one dropped. Returns the index it took,
// or -1 when it enters nowhere.
int InsertBestScore(TBestScores& Table, std::int32_t Score, const QDate& Today);

// The best ten records of the two tables together, whatever order either is in, in the insertion
// rule's order: a higher score first, and among equal scores the older date, then Earlier's record.
// A record of one table that the other holds too (the same name, date and score) is taken once.
// The records keep their filler bytes; empty records fill what is left. When Later holds no record
// that Earlier lacks, the result is Earlier as it is, in its own order.
TBestScores MergeBestScores(const TBestScores& Earlier, const TBestScores& Later);
