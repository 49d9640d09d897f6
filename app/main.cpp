#include "Fonts.h"
#include "Form1.h"
#include "Identity.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    kestivo::applyIdentity(app);
    kestivo::installFontSubstitutes();

    kestivo::Form1 form;
    form.show();
    return app.exec();
}
