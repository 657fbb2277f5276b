#pragma once

#include <QHash>
#include <QString>

// A string table: numbered texts, as a module's string resources hold them.
class TStringTable {
public:
    // Lines of the form: <id> "<text>", with \" and \\ as escapes; blank lines and lines
    // starting with # are skipped.
    static TStringTable Parse(const QString& Source);

    void Insert(unsigned Id, const QString& Text);
    void Merge(const TStringTable& Other);
    // An absent id gives an empty text, as the platform reports it.
    QString Find(unsigned Id) const { return FStrings.value(Id); }
    int Count() const { return int(FStrings.size()); }

private:
    QHash<unsigned, QString> FStrings;
};

// A module handle: the string table of a loaded module (a name of its own, since Windows has an
// HMODULE of its own, which Qt declares there).
using TResourceModule = const TStringTable*;

// The module holding the running executable's resources: every table embedded under
// ":/stringtables/", or a language module loaded in its place.
TResourceModule FindResourceHInstance();
// Loads a language module in place of the executable's resources (null restores them).
void SetResourceHInstance(TResourceModule Module);

// Copies string Id of Module into Buffer, cut to BufferMax - 1 characters and terminated;
// returns the number of characters copied, 0 when the string is missing or empty.
int LoadString(TResourceModule Module, unsigned Id, QChar* Buffer, int BufferMax);

// The framework's own texts, held in the executable's resources next to the program's.
enum TFrameworkString : unsigned {
    SFCreateError = 65408,
    SFOpenError = 65409,
    SReadError = 65410,
    SWriteError = 65411,
    SCheckSumError = 65412,
    SHandlerNotFound = 65420,
    SFixedColTooBig = 65421,
    SFixedRowTooBig = 65422,
    SIndexOutOfRange = 65423,
    SBadColumnList = 65424,
    SNotAColumnList = 65425,
    SAssignError = 65430,
    SListIndexError = 65431,
    SUnknownException = 65440,
};
QString FrameworkString(TFrameworkString Id);
