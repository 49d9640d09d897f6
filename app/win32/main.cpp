#include "program/Product.h"
#include "program/Start.h"
#include "win32/Console.h"
#include "win32/Form1.h"
#include "win32/Text.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> arguments()
{
    std::vector<std::string> list;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            // /? is how Windows users ask for help.
            const bool help = i > 0 && std::wstring_view(words[i]) == L"/?";
            list.push_back(help ? std::string("--help") : kestivo::narrow(words[i]));
        }
        LocalFree(words);
    }
    return list;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    const kestivo::Streams console{kestivo::writeOut, kestivo::writeErr};
    kestivo::endUncaughtWithALine(console);
    const kestivo::CommandLine command = kestivo::parseCommandLine(arguments());
    if (const auto status = kestivo::answer(command, console))
        return *status;
    try {
        kestivo::Form1::Options options;
        options.session.pointsPerSecond = command.pointsPerSecond;
        kestivo::Form1 form(std::move(options));
        form.show(showCommand);
        return form.run();
    } catch (const std::exception& error) {
        // Before the window could take over its failures: the window system
        // refused it, its screen's scale is not one it can be drawn at, or
        // memory ran out. Said on the console and, as a window program, in a
        // box.
        const int status = kestivo::refuse(console, error.what());
        MessageBoxW(nullptr, kestivo::wide(error.what()).c_str(), kestivo::wide(kestivo::kProgramName).c_str(),
                    MB_OK | MB_ICONERROR);
        return status;
    }
}
