#pragma once

namespace kestivo {

// The program from its command line to the end of its event loop, as main
// runs it: the exit status.
int runProgram(int argc, char* argv[]);

} // namespace kestivo
