// A small program that shows the library's grids at work.
#include "GalleryForm.h"

#include "framework/Application.h"

int main(int Argc, char** Argv)
{
    TApplication Application(Argc, Argv);
    TApplication::SetTitle(QStringLiteral("ZQ Gallery"));
    TGalleryForm Form;
    Form.show();
    return Application.exec();
}
