#include "cli/commands.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/plugin_location.h"
#include "cli/sequence_job.h"
#include "hostsim/host_error.h"

namespace prismora::cli {

namespace {

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

// The host's version packing: build 0-8, stage 9-10, bug fix 11-14, minor
// 15-18, major 19-21 with its high bits in 26-29.
unsigned VersionMajor(A_u_long v)
{
    return ((v >> 19) & 0x7u) | (((v >> 26) & 0xFu) << 3);
}

unsigned VersionMinor(A_u_long v)
{
    return (v >> 15) & 0xFu;
}

std::string VersionText(A_u_long v)
{
    const char *stages[] = {"develop", "alpha", "beta", "release"};
    std::ostringstream text;
    text << VersionMajor(v) << "." << VersionMinor(v) << "." << ((v >> 11) & 0xFu) << " "
         << stages[(v >> 9) & 0x3u] << " build " << (v & 0x1FFu) << " (" << v << ")";
    return text.str();
}

// The about text with its carriage return shown, so the line stays one line.
std::string Visible(const std::string &text)
{
    std::string shown;
    for (char c : text) {
        shown += c == '\r' ? std::string("\\r") : (c == '\n' ? std::string("\\n") : std::string(1, c));
    }
    return shown;
}

// Table rows are padded to columns; the last column may be empty.
void PrintLine(std::ostream &out, const std::ostringstream &line)
{
    std::string text = line.str();
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
}

} // namespace

void RunParams(std::ostream &out)
{
    EffectSession session(FindPlugin());
    std::ostringstream heading;
    heading << std::left << std::setw(4) << "#" << std::setw(20) << "name" << std::setw(18) << "--set name"
            << std::setw(14) << "type" << std::setw(28) << "default"
            << "range / choices";
    PrintLine(out, heading);
    for (const ParamDecl &decl : session.catalog().all()) {
        std::ostringstream line;
        line << std::left << std::setw(4) << decl.index << std::setw(20)
             << (decl.name.empty() ? "-" : decl.name) << std::setw(18) << (IsSettable(decl) ? decl.key : "-")
             << std::setw(14) << TypeName(decl.def) << std::setw(28) << DescribeDefault(decl)
             << DescribeRange(decl);
        PrintLine(out, line);
    }
}

void RunInfo(std::ostream &out)
{
    EffectSession session(FindPlugin());
    const hostsim::PiPL &pipl = session.pipl();
    const EffectAnswers answers = session.answers();

    std::vector<std::string> disagreements;
    const auto row = [&](const std::string &what, const std::string &from_pipl,
                         const std::string &from_effect, bool compared) {
        std::ostringstream line;
        line << std::left << std::setw(14) << what << std::setw(34) << from_pipl << from_effect;
        if (compared) {
            const bool same = from_pipl == from_effect;
            line << (same ? "  (agree)" : "  (DISAGREE)");
            if (!same) {
                disagreements.push_back(what);
            }
        }
        PrintLine(out, line);
    };
    std::ostringstream heading;
    heading << std::left << std::setw(14) << "" << std::setw(34) << "PiPL"
            << "effect";
    PrintLine(out, heading);
    row("name", pipl.name, "", false);
    row("category", pipl.category, "", false);
    row("match name", pipl.match_name, "", false);
    row("kind", pipl.kind, "", false);
    row("entry point", pipl.entry_point, "", false);
    row("PiPL version",
        std::to_string(pipl.pipl_version_major) + "." + std::to_string(pipl.pipl_version_minor), "", false);
    row("spec version",
        std::to_string(pipl.spec_version_major) + "." + std::to_string(pipl.spec_version_minor), "", false);
    row("version", VersionText(pipl.effect_version), VersionText(answers.version), true);
    row("out_flags", Hex(pipl.global_flags), Hex(answers.out_flags), true);
    row("out_flags2", Hex(pipl.global_flags2), Hex(answers.out_flags2), true);
    // The about text opens with the name and version the PiPL declares.
    const std::string expected = pipl.name + " v" + std::to_string(VersionMajor(pipl.effect_version)) + "." +
                                 std::to_string(VersionMinor(pipl.effect_version));
    const std::string first_line = answers.about.substr(0, answers.about.find('\r'));
    row("about", expected, first_line, true);
    out << "about text    \"" << Visible(answers.about) << "\"\n";
    if (disagreements.empty()) {
        out << "PiPL and effect agree\n";
    } else {
        out << "PiPL and effect DISAGREE on";
        for (const std::string &what : disagreements) {
            out << " " << what;
        }
        out << "\n";
    }
}

int RunCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    try {
        const Command command = ParseArguments(args);
        if (std::holds_alternative<HelpCommand>(command)) {
            out << UsageText();
        } else if (const auto *render = std::get_if<RenderCommand>(&command)) {
            if (IsSequence(*render)) {
                return RunSequence(*render, out, err);
            }
            RunRender(*render, out);
        } else if (std::holds_alternative<ParamsCommand>(command)) {
            RunParams(out);
        } else if (std::holds_alternative<InfoCommand>(command)) {
            RunInfo(out);
        } else {
            RunDemo(std::get<DemoCommand>(command), out);
        }
        out.flush();
        return kExitOk;
    } catch (const UsageError &e) {
        err << "prismora: " << e.what() << std::endl;
        return kExitUsage;
    } catch (const EffectError &e) {
        err << "prismora: " << e.what() << std::endl;
        return kExitEffectError;
    } catch (const hostsim::HostError &e) {
        // The plug-in broke the host's contract: the effect's fault, not the user's.
        err << "prismora: host: " << e.what() << std::endl;
        return kExitEffectError;
    } catch (const std::exception &e) {
        err << "prismora: " << e.what() << std::endl;
        return kExitEffectError;
    }
}

} // namespace prismora::cli
