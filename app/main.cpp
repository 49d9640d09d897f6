#include "Fonts.h"
#include "Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    kestivo::installFontSubstitutes();

    kestivo::Form1 form;
    form.show();
    return app.exec();
}
