#include "qt/Program.h"

int main(int argc, char* argv[])
{
    return kestivo::runProgram(argc, argv);
}
