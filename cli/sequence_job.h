// prismora render over numbered frames: in.####.png to out.####.png, several
// frames in flight on the host's render threads, with progress, resumable.
#pragma once

#include <ostream>

#include "cli/arguments.h"

namespace prismora::cli {

// True when the command renders a sequence: --frames was given, or INPUT holds
// a frame number and names no existing file (icon@2x.png stays one still).
bool IsSequence(const RenderCommand &command);

// Renders the frames and returns the exit status: 0 when every frame was
// written, 1 when some failed (each reported with its frame number), 128 plus
// the signal when SIGINT or SIGTERM stopped it. Everything the user got wrong
// throws UsageError before any frame renders.
int RunSequence(const RenderCommand &command, std::ostream &out, std::ostream &err);

} // namespace prismora::cli
