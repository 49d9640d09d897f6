#pragma once

#include <functional>

namespace kestivo {

class Form1;

// The program from its command line to the end of its event loop, as main
// runs it: the exit status. shown, if given, runs once the window is up
// (a test drives the window with it).
int runProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown = {});

} // namespace kestivo
