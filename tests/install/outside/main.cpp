// A program outside the project that uses the installed library, with names of its own that the
// library's headers and symbols must leave alone: its own framework/Events.h first on the include
// path, its own CheckSum, and Qt without its keywords.
#include <zq/Checksumfile.h>
#include <zq/ZQBitGrid.h>
#include <zq/ZQDataGrid.h>
#include <zq/ZQGridDataModel.h>
#include <zq/ZQItemModelData.h>
#include <zq/framework/ExceptionDisplay.h>
#include <zq/framework/Registry.h>

#include "framework/Events.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardItemModel>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>

// Unrelated to the library's exception family: another layout, not a std::exception.
class Exception {
public:
    explicit Exception(int Code) : FCode(Code) {}
    virtual ~Exception() = default;
    virtual int Code() const { return FCode; }

private:
    int FCode;
    std::string FPad = "the program's own";
};

// Names the framework uses inside: declared here differently, they compile only if the headers keep them.
using TResourceModule = int;
static const char* Random = "the program's own";
enum TKey { VK_LEFT, VK_RIGHT };
static int LoadString(int Id) { return Id; }

// A source whose data cannot be read.
class TFailingSource : public TZQGridData {
public:
    int GetRecordCount() const override { return 1; }
    QString GetDataText(int, int) const override { throw Exceptions::ERangeError(QStringLiteral("no such record")); }
};

static int OwnRegisterCalls = 0;
void Register() { ++OwnRegisterCalls; }

static int Fails = 0;
static void Check(bool Ok, const char* What)
{
    std::printf("%s: %s\n", Ok ? "ok" : "FAIL", What);
    Fails += !Ok;
}

int main(int Argc, char** Argv)
{
    QApplication Application(Argc, Argv);
    ZQ::TZQBitGrid Bits;
    Bits.SetDataWords(0, 5);
    TZQDataGrid Data;
    Check(Bits.GetDataBit(0, 2) && !Bits.GetDataBit(0, 1), "bits of a data word");
    Check(Data.ColCount() == 2, "a new data grid's columns");
    {
        // Both bridges to Qt's model/view, one over the other.
        QStandardItemModel Items(3, 2);
        Items.setItem(1, 1, new QStandardItem(QStringLiteral("b")));
        TZQItemModelData Source(&Items);
        TZQGridDataModel Model(&Source, 2);
        Items.insertRows(0, 4);
        Check(Source.GetRecordCount() == 7 && Model.rowCount() == 7 &&
                  Model.index(5, 1).data().toString() == QStringLiteral("b"),
              "a model over a source over a model");
    }
    TProgramEvent OwnEvent;
    Check(OwnEvent.Code == 0, "the program's own framework/Events.h");

    // The program's CheckSum is its own; the library's files keep the library's checksum. (Windows
    // binds a name that the DLL exports to the DLL when the program is linked: a program cannot
    // define it again there.)
#ifndef _WIN32
    const char Text[] = "abcd";
    Check(CheckSum(Text, 4) == 0xC0FFEEu, "the program's own CheckSum");
#endif
    QTemporaryDir Folder;
    const QString FileName = QDir(Folder.path()).filePath(QStringLiteral("data.bin"));
    const unsigned char Words[9] = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69};
    WriteWithCheckSum(FileName, Words, sizeof Words);
    {
        // Closed before the library reads: its open shares nothing, and Windows holds it to that.
        QFile Written(FileName);
        Check(Written.open(QIODevice::ReadOnly) && Written.readAll().right(4) == QByteArray("\xC6\xC8\xCA\xCC", 4),
              "WriteWithCheckSum stores the library's checksum");
    }
    unsigned char Back[9] = {};
    try {
        ReadWithCheckSum(FileName, Back, sizeof Back);
        Check(std::equal(Back, Back + sizeof Back, Words), "ReadWithCheckSum reads the file back");
    } catch (const std::exception& E) {
        Check(false, E.what());
    }

    // The exception display is the program's to choose: a source failing while its grid paints
    // reaches the program's display, not a message box of the library's.
    QStringList Shown;
    SetExceptionDisplay([&Shown](const QString&, const QString& Message) { Shown << Message; });
    {
        TFailingSource Failing;
        TZQDataGrid Painted;
        TZQDataGridColumn* Column = Painted.Columns()->Add();
        Column->SetDataIndex(0);
        Painted.SetData(&Failing);
        Painted.show();
        Painted.viewport()->grab();
        QCoreApplication::processEvents(); // the display is called once the paint has returned
    }
    SetExceptionDisplay(nullptr);
    Check(Shown == QStringList{QStringLiteral("no such record.")}, "a failing paint shown by the program's display");
    Check(LoadString(VK_RIGHT) == 1 && TResourceModule(2) == 2 && Random[0] == 't', "the program's own names");

    // The library's errors stay its own and reach the program as std::exception.
    try {
        Bits.GetDataBit(5, 0);
        Check(false, "a data row out of range raises");
    } catch (const Exceptions::ERangeError& E) {
        Check(E.Message() == "TZQBitGrid: data row index out of bounds", "the library's range error and message");
    }
    try {
        Bits.GetDataBit(-1, 0);
        Check(false, "a negative data row raises");
    } catch (const std::exception& E) {
        Check(std::string(E.what()) == "TZQBitGrid: data row index out of bounds", "caught as std::exception");
    }
    try {
        throw Exception(7);
    } catch (const Exception& E) {
        Check(E.Code() == 7, "the program's own Exception");
    }

    // The units' routines, qualified by their unit, leave the program's Register alone.
    ZQBitGrid::Register();
    ZQDataGrid::Register();
    int Offered = 0;
    for (const TRegisteredComponent& Entry : RegisteredComponents())
        Offered += Entry.Page() == "ZQ" && (Entry.Class().ClassName() == "ZQ::TZQBitGrid" || Entry.Class().ClassName() == "TZQDataGrid");
    Check(Offered == 2, "both grids registered on the page ZQ");
    Register();
    Check(OwnRegisterCalls == 1, "the program's own Register called once, by the program");
    return Fails == 0 ? 0 : 1;
}
