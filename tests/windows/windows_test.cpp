// Windows-only checks, each of a fault that a POSIX-minded build had there:
// the plug-in lookup through /proc, the log path through the narrow
// environment, file names through the narrow argv, and the PiPL read from a
// file instead of the library's resource; and what this build leaves out
// (the GPU render, image formats other than PNG). Prints "N passed, N failed".
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "cli/cli_error.h"
#include "cli/image_file.h"
#include "cli/plugin_location.h"
#include "cli/running_program.h"
#include "cli/test_card.h"
#include "diag/log.h"
#include "effect/plugin_version.h"
#include "hostsim/host.h"
#include "hostsim/plugin_pipl.h"

namespace fs = std::filesystem;

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

#define CHECK(condition)                                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            throw Failure("line " + std::to_string(__LINE__) + ": " #condition);                             \
        }                                                                                                    \
    } while (false)

// Characters outside every Western code page: Greek and Cyrillic, plus ë.
const std::wstring kUnicodeName = L"Zo\u00EB \u03A9\u0416";

// A fresh folder whose name holds kUnicodeName, removed afterwards.
class UnicodeFolder {
public:
    explicit UnicodeFolder(const wchar_t *what)
        : path_(fs::temp_directory_path() / (std::wstring(L"prismora ") + what + L" " + kUnicodeName))
    {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~UnicodeFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

fs::path ProgramFolder()
{
    std::error_code ec;
    return prismora::cli::RunningProgramPath(ec).parent_path();
}

void FindsThePluginBesideTheProgram()
{
    _wputenv(L"PRISMORA_PLUGIN=");
    const fs::path plugin = prismora::cli::FindPlugin();
    CHECK(plugin.filename() == L"T_Prismora.aex");
    CHECK(fs::equivalent(plugin, ProgramFolder() / L".." / L"plugin" / L"T_Prismora.aex"));
}

void TakesThePluginFromAUnicodeVariable()
{
    const UnicodeFolder folder(L"variable");
    const fs::path copy = folder.path() / L"T_Prismora.aex";
    fs::copy_file(ProgramFolder() / L".." / L"plugin" / L"T_Prismora.aex", copy);
    _wputenv((L"PRISMORA_PLUGIN=" + copy.wstring()).c_str());
    const fs::path found = prismora::cli::FindPlugin();
    _wputenv(L"PRISMORA_PLUGIN=");
    CHECK(found == copy);
}

void WritesTheLogUnderAUnicodeTemp()
{
    const UnicodeFolder temp(L"log");
    const std::wstring saved = _wgetenv(L"TEMP") != nullptr ? _wgetenv(L"TEMP") : L"";
    _wputenv((L"TEMP=" + temp.path().wstring()).c_str());
    prismora::LogLine("first line");
    prismora::LogLine("second line");
    _wputenv((L"TEMP=" + saved).c_str());

    std::ifstream log(temp.path() / L"TPrismora_GPU.log");
    const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    CHECK(text == "first line\nsecond line\n");
}

// Runs a program with a UTF-16 command line and returns its exit status.
DWORD RunProgram(const fs::path &program, const std::wstring &arguments)
{
    std::wstring line = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    CHECK(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

void RendersFilesWithUnicodeNames()
{
    _wputenv(L"PRISMORA_PLUGIN=");
    const UnicodeFolder folder(L"render");
    const fs::path input = folder.path() / (L"card " + kUnicodeName + L".png");
    const fs::path output = folder.path() / (L"tmp" + kUnicodeName + L".png");
    prismora::cli::WriteImageFile(input, prismora::cli::MakeTestCard(64, 48));

    const DWORD status = RunProgram(ProgramFolder() / L"prismora.exe",
                                    L"render \"" + input.wstring() + L"\" \"" + output.wstring() + L"\"");
    CHECK(status == 0);
    CHECK(fs::is_regular_file(output));
    const prismora::cli::LoadedImage rendered = prismora::cli::ReadImageFile(output);
    CHECK(rendered.image.width() == 64 && rendered.image.height() == 48);
}

void ReadsThePiPLFromTheLibraryResource()
{
    // The library alone, with no .pipl file beside it, as After Effects sees it.
    const UnicodeFolder folder(L"pipl");
    const fs::path library = folder.path() / L"T_Prismora.aex";
    fs::copy_file(ProgramFolder() / L".." / L"plugin" / L"T_Prismora.aex", library);
    const prismora::hostsim::PiPL pipl = prismora::hostsim::ReadPluginPiPL(library);
    CHECK(pipl.kind == "eFKT");
    CHECK(pipl.entry_point == "EffectMain");
    CHECK(pipl.name == prismora::kEffectName);
    CHECK(pipl.match_name == prismora::kEffectMatchName);
}

// This build has no CUDA renderer, so it must not promise GPU frames.
void DeclinesEveryGpuDevice()
{
    _wputenv(L"PRISMORA_PLUGIN=");
    prismora::hostsim::Host host(prismora::cli::FindPlugin(),
                                 {.gpu_device = prismora::hostsim::GpuDeviceChoice::kEmulated});
    host.Start();
    CHECK(host.gpu_device() != nullptr);
    CHECK(host.gpu_offers().size() == 2);
    CHECK(host.AcceptedGpuOffer() == nullptr);
}

// The PNG path of this build (no OpenImageIO for MinGW): random pictures at
// both depths come back sample for sample, and other formats are refused.
void PngFilesRoundTripAndOtherFormatsAreRefused()
{
    const UnicodeFolder folder(L"png");
    std::mt19937 random(20261207);
    for (const int depth : {8, 16}) {
        prismora::cli::HostImage image(37, 23, depth);
        for (int32_t y = 0; y < image.height(); ++y) {
            for (int32_t x = 0; x < image.width(); ++x) {
                if (depth == 8) {
                    PF_Pixel8 &p = image.at<PF_Pixel8>(x, y);
                    p = {A_u_char(random()), A_u_char(random()), A_u_char(random()), A_u_char(random())};
                } else {
                    const auto sample = [&] {
                        return A_u_short(random() % (prismora::cli::kHostWhite16 + 1));
                    };
                    image.at<PF_Pixel16>(x, y) = {sample(), sample(), sample(), sample()};
                }
            }
        }
        const fs::path file = folder.path() / (L"random " + std::to_wstring(depth) + L".png");
        prismora::cli::WriteImageFile(file, image);
        const prismora::cli::LoadedImage back = prismora::cli::ReadImageFile(file);
        CHECK(back.file_depth == depth);
        CHECK(back.image == image);
    }

    const auto refused = [](auto &&action) {
        try {
            action();
        } catch (const prismora::cli::UsageError &) {
            return true;
        }
        return false;
    };
    const prismora::cli::HostImage card = prismora::cli::MakeTestCard(8, 8);
    const fs::path tiff = folder.path() / L"out.tif";
    CHECK(refused([&] { prismora::cli::WriteImageFile(tiff, card); }));
    CHECK(!fs::exists(tiff));
    CHECK(refused([&] { prismora::cli::CheckImageOutputPath(folder.path() / L"out.png", 32); }));
    std::ofstream(folder.path() / L"not.png") << "GIF89a";
    CHECK(refused([&] { prismora::cli::ReadImageFile(folder.path() / L"not.png"); }));
}

} // namespace

int main()
{
    const struct {
        const char *name;
        void (*run)();
    } cases[] = {
        {"FindsThePluginBesideTheProgram", FindsThePluginBesideTheProgram},
        {"TakesThePluginFromAUnicodeVariable", TakesThePluginFromAUnicodeVariable},
        {"WritesTheLogUnderAUnicodeTemp", WritesTheLogUnderAUnicodeTemp},
        {"RendersFilesWithUnicodeNames", RendersFilesWithUnicodeNames},
        {"ReadsThePiPLFromTheLibraryResource", ReadsThePiPLFromTheLibraryResource},
        {"DeclinesEveryGpuDevice", DeclinesEveryGpuDevice},
        {"PngFilesRoundTripAndOtherFormatsAreRefused", PngFilesRoundTripAndOtherFormatsAreRefused},
    };
    int passed = 0;
    int failed = 0;
    for (const auto &c : cases) {
        try {
            c.run();
            std::printf("ok      %s\n", c.name);
            ++passed;
        } catch (const std::exception &e) {
            std::printf("FAILED  %s: %s\n", c.name, e.what());
            ++failed;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
