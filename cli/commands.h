// The tool's commands, run from parsed arguments with their output going to
// the given streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace prismora::cli {

// Runs the command line (without the program name) and returns the exit
// status: 0 done, 1 the effect returned an error, 2 bad input. Failures are
// one line on err.
int RunCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// The commands themselves; they throw UsageError or EffectError.
void RunRender(const RenderCommand &command, std::ostream &out);
void RunParams(std::ostream &out);
void RunInfo(std::ostream &out);
void RunDemo(const DemoCommand &command, std::ostream &out);

} // namespace prismora::cli
