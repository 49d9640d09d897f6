// Kestivo1 in a browser.

#include "web/Page.h"

int main()
{
    return kestivo::startPage({});
}
