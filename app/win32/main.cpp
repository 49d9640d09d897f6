#include "session/CommandLine.h"
#include "session/Product.h"
#include "win32/Console.h"
#include "win32/Form1.h"
#include "win32/Text.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
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
    if (list.empty())
        list.emplace_back(kestivo::kProgramName);
    return list;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    using kestivo::CommandLine;
    const CommandLine command = kestivo::parseCommandLine(arguments());
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        kestivo::writeLine(STD_OUTPUT_HANDLE, command.text);
        return 0;
    case CommandLine::Action::UsageError:
        kestivo::writeLine(STD_ERROR_HANDLE, command.text);
        return kestivo::kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }

    try {
        kestivo::Form1::Options options;
        options.session.pointsPerSecond = command.pointsPerSecond;
        kestivo::Form1 form(std::move(options));
        form.show(showCommand);
        return form.run();
    } catch (const std::exception& error) {
        // Before the window could take over its failures: the window system
        // refused it, or memory ran out.
        std::fprintf(stderr, "%s: %s\n", kestivo::kProgramName, error.what());
        std::fflush(stderr);
        MessageBoxW(nullptr, kestivo::wide(error.what()).c_str(),
                    kestivo::wide(kestivo::kProgramName).c_str(), MB_OK | MB_ICONERROR);
        return 1;
    }
}
