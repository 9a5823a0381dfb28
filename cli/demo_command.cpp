// prismora demo: the built-in test card through the effect, with a contact sheet.
#include <ostream>
#include <system_error>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "cli/effect_session.h"
#include "cli/image_file.h"
#include "cli/param_values.h"
#include "cli/plugin_location.h"
#include "cli/test_card.h"

namespace prismora::cli {

namespace {

struct DemoFrame {
    std::string file;
    std::vector<ParamAssignment> assignments;
    bool matte = false;
};

std::vector<DemoFrame> DemoFrames(const ParamCatalog &catalog)
{
    std::vector<DemoFrame> frames = {{"panel.png", {}, false},
                                     {"full_frame.png", {{"glass_mode", "full frame"}}, true}};
    const ParamDecl *debug = catalog.find("debug_view");
    if (debug == nullptr) {
        throw UsageError("the effect declares no debug_view parameter");
    }
    // Every view but the first, "Off", which is the panel itself.
    for (size_t i = 1; i < debug->choices.size(); ++i) {
        frames.push_back({"debug_" + SnakeCase(debug->choices[i]) + ".png",
                          {{"debug_view", std::to_string(i + 1)}},
                          false});
    }
    return frames;
}

} // namespace

void RunDemo(const DemoCommand &command, std::ostream &out)
{
    std::error_code ec;
    std::filesystem::create_directories(command.outdir, ec);
    if (ec || !std::filesystem::is_directory(command.outdir)) {
        throw UsageError("cannot create " + command.outdir.string() + ": " +
                         (ec ? ec.message() : std::string("not a directory")));
    }
    EffectSession session(FindPlugin());
    const HostImage card = MakeTestCard(kTestCardWidth, kTestCardHeight);
    const HostImage matte = MakeTestMatte(kTestCardWidth, kTestCardHeight);

    std::vector<HostImage> sheet = {card, matte};
    const auto write = [&](const std::string &name, const HostImage &image) {
        const std::filesystem::path path = command.outdir / name;
        WriteImageFile(path, image);
        out << path.string() << "\n";
    };
    write("test_card.png", card);
    write("matte.png", matte);
    for (const DemoFrame &frame : DemoFrames(session.catalog())) {
        const auto values =
            ResolveParamValues(session.catalog(), frame.assignments, card.width(), card.height());
        HostImage rendered = session.Render(card, frame.matte ? &matte : nullptr, values, {});
        write(frame.file, rendered);
        sheet.push_back(std::move(rendered));
    }
    write("contact_sheet.png", MakeContactSheet(sheet, 4, 2, 8));
}

} // namespace prismora::cli
