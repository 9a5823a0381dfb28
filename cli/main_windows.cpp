// The command's entry on Windows: the arguments as the system holds them,
// UTF-16, turned into UTF-8. The narrow argv of main() is in the system code
// page and loses every character outside it (a file named tmpΩ.png).
#include <iostream>
#include <string>
#include <vector>

#include <windows.h>

#include "cli/commands.h"

namespace {

std::string Utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back(); // the terminating zero
    return out;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    // What the command prints (file names among it) is UTF-8 too.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf8(argv[i]));
    }
    return prismora::cli::RunCommandLine(args, std::cout, std::cerr);
}
