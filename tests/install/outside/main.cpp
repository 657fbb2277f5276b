// A program outside the project that uses the installed library.
#include <components/ZQBitGrid.h>
#include <components/ZQDataGrid.h>
#include <scores/Checksumfile.h>

#include <QApplication>

#include <cstdio>

int main(int Argc, char** Argv)
{
    QApplication Application(Argc, Argv);
    ZQ::TZQBitGrid Bits;
    Bits.SetDataWords(0, 5);
    TZQDataGrid Data;
    const char Text[] = "abcd";
    const unsigned Sum = CheckSum(Text, 4);
    std::printf("bit 2: %d, columns: %d, sum: %08X\n", int(Bits.GetDataBit(0, 2)), Data.ColCount(), Sum);
    return Bits.GetDataBit(0, 2) && Data.ColCount() == 2 && Sum == 0x64636261u ? 0 : 1;
}
