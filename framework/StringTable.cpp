#include "framework/StringTable.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

QString UnquoteText(const QString& Quoted)
{
    QString Text;
    for (int i = 0; i < Quoted.size(); ++i) {
        if (Quoted[i] == u'\\' && i + 1 < Quoted.size())
            ++i;
        Text += Quoted[i];
    }
    return Text;
}

TStringTable LoadEmbeddedTables()
{
    TStringTable Table;
    const QDir Dir(QStringLiteral(":/stringtables"));
    for (const QString& Name : Dir.entryList(QDir::Files, QDir::Name)) {
        QFile File(Dir.filePath(Name));
        if (File.open(QIODevice::ReadOnly))
            Table.Merge(TStringTable::Parse(QString::fromUtf8(File.readAll())));
    }
    return Table;
}

TResourceModule LoadedResourceModule = nullptr;

} // namespace

TStringTable TStringTable::Parse(const QString& Source)
{
    TStringTable Table;
    for (const QString& Line : Source.split(u'\n')) {
        const QString Trimmed = Line.trimmed();
        if (Trimmed.isEmpty() || Trimmed.startsWith(u'#'))
            continue;
        const qsizetype Open = Trimmed.indexOf(u'"');
        if (Open < 0 || !Trimmed.endsWith(u'"') || Trimmed.size() - Open < 2)
            continue;
        bool Ok = false;
        const unsigned Id = Trimmed.left(Open).trimmed().toUInt(&Ok);
        if (Ok)
            Table.Insert(Id, UnquoteText(Trimmed.mid(Open + 1, Trimmed.size() - Open - 2)));
    }
    return Table;
}

void TStringTable::Insert(unsigned Id, const QString& Text)
{
    FStrings.insert(Id, Text);
}

void TStringTable::Merge(const TStringTable& Other)
{
    for (auto It = Other.FStrings.cbegin(); It != Other.FStrings.cend(); ++It)
        FStrings.insert(It.key(), It.value());
}

TResourceModule FindResourceHInstance()
{
    if (LoadedResourceModule)
        return LoadedResourceModule;
    static const TStringTable Executable = LoadEmbeddedTables();
    return &Executable;
}

void SetResourceHInstance(TResourceModule Module)
{
    LoadedResourceModule = Module;
}

int LoadString(TResourceModule Module, unsigned Id, QChar* Buffer, int BufferMax)
{
    if (!Module || !Buffer || BufferMax <= 0)
        return 0;
    const QString Text = Module->Find(Id);
    const int Length = std::min(int(Text.size()), BufferMax - 1);
    std::copy_n(Text.constData(), Length, Buffer);
    Buffer[Length] = QChar(0);
    return Length;
}

QString FrameworkString(TFrameworkString Id)
{
    return FindResourceHInstance()->Find(Id);
}
