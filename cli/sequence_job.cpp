#include "cli/sequence_job.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/frame_pattern.h"
#include "cli/frames_in_flight.h"
#include "cli/image_file.h"
#include "cli/interrupt_guard.h"
#include "cli/param_values.h"
#include "cli/plugin_location.h"
#include "cli/progress.h"
#include "hostsim/host_error.h"

namespace prismora::cli {

namespace {

std::optional<FramePattern> PatternUnlessFile(const std::filesystem::path &path)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return std::nullopt;
    }
    return FramePattern::Find(path);
}

std::string SizeText(const ImageFileInfo &info)
{
    return std::to_string(info.width) + "x" + std::to_string(info.height);
}

// The size and depth of the first readable frame, after checking that every
// readable frame has the same size. Frames that are missing or unreadable are
// left for their turn, where they fail with their frame number; when none can
// be read, the first one's error is the user's.
ImageFileInfo CheckOneSize(const FramePattern &pattern, const std::vector<int> &frames)
{
    std::optional<ImageFileInfo> first;
    int first_frame = 0;
    for (const int frame : frames) {
        ImageFileInfo info;
        try {
            info = ReadImageFileInfo(pattern.For(frame));
        } catch (const UsageError &) {
            continue;
        }
        if (!first) {
            first = info;
            first_frame = frame;
        } else if (info.width != first->width || info.height != first->height) {
            throw UsageError(pattern.For(frame).string() + " is " + SizeText(info) + " but " +
                             pattern.For(first_frame).string() + " is " + SizeText(*first) +
                             ": the frames of a sequence must be one size");
        }
    }
    if (!first) {
        ReadImageFileInfo(pattern.For(frames.front())); // throws with the reason
    }
    return *first;
}

bool SameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    std::error_code ea;
    std::error_code eb;
    const std::filesystem::path ca = std::filesystem::weakly_canonical(a, ea);
    const std::filesystem::path cb = std::filesystem::weakly_canonical(b, eb);
    return ea || eb ? a.lexically_normal() == b.lexically_normal() : ca == cb;
}

// What the job renders, settled before the first frame.
struct SequencePlan {
    SequencePlan(FramePattern input_frames, FramePattern output_frames)
        : input(std::move(input_frames)), output(std::move(output_frames))
    {
    }
    FramePattern input;
    FramePattern output;
    std::optional<FramePattern> matte_frames;
    std::optional<HostImage> matte_still;
    std::vector<int> frames; // to render, ascending
    size_t skipped = 0;      // outputs that exist (--skip-existing)
    ImageFileInfo size;      // every input frame's
    int depth = 8;
};

SequencePlan MakePlan(const RenderCommand &command)
{
    const std::optional<FramePattern> input = FramePattern::Find(command.input);
    if (!input) {
        throw UsageError("--frames needs INPUT with a frame number, such as in.####.png, not " +
                         command.input.string());
    }
    const std::optional<FramePattern> output = FramePattern::Find(command.output);
    if (!output) {
        throw UsageError("OUTPUT needs a frame number, such as out.####.png, to write a sequence (not " +
                         command.output.string() + ")");
    }
    SequencePlan plan(*input, *output);
    std::vector<int> frames = command.frames ? *command.frames : input->FramesOnDisk();
    if (frames.empty()) {
        throw UsageError("no files match " + input->text());
    }
    if (command.matte) {
        plan.matte_frames = PatternUnlessFile(*command.matte);
    }
    for (const FramePattern *source : {&plan.input, plan.matte_frames ? &*plan.matte_frames : nullptr}) {
        if (source && SameFile(source->For(frames.front()), output->For(frames.front()))) {
            throw UsageError("OUTPUT " + output->text() + " would overwrite the input frames " +
                             source->text());
        }
    }
    for (const int frame : frames) {
        std::error_code ec;
        if (command.skip_existing && std::filesystem::exists(output->For(frame), ec)) {
            ++plan.skipped;
        } else {
            plan.frames.push_back(frame);
        }
    }
    if (plan.frames.empty()) {
        return plan;
    }
    plan.size = CheckOneSize(plan.input, plan.frames);
    plan.depth = command.depth != 0 ? command.depth : plan.size.file_depth;
    if (plan.matte_frames) {
        CheckOneSize(*plan.matte_frames, plan.frames);
    } else if (command.matte) {
        plan.matte_still = ReadImageFile(*command.matte, plan.depth, command.max_memory).image;
    }
    CheckImageOutputPath(output->For(plan.frames.front()), plan.depth);
    return plan;
}

// After Effects sends an effect several frames at once only when it says it
// is thread-safe; then as many as asked, or as the threads and memory allow.
int FramesInFlight(const RenderCommand &command, const SequencePlan &plan, EffectSession &session)
{
    if ((session.answers().out_flags2 & PF_OutFlag2_SUPPORTS_THREADED_RENDERING) == 0) {
        return 1;
    }
    const int jobs =
        command.jobs != 0
            ? command.jobs
            : DefaultFramesInFlight(session.render_threads(),
                                    FrameMemoryEstimate(plan.size.width, plan.size.height, plan.depth),
                                    AvailableMemory());
    return std::min(jobs, static_cast<int>(plan.frames.size()));
}

// The frames' failures, reported as they happen and summed up at the end.
class Failures {
public:
    void Add(int frame, const std::string &why, Progress &progress)
    {
        progress.FrameFailed(frame, why);
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
    }
    std::vector<int> frames() const
    {
        std::lock_guard lock(mutex_);
        std::vector<int> sorted = frames_;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> frames_;
};

std::string FrameListText(const std::vector<int> &frames)
{
    constexpr size_t kShown = 20;
    std::string text;
    for (size_t i = 0; i < frames.size() && i < kShown; ++i) {
        text += (i ? ", " : "") + std::to_string(frames[i]);
    }
    return frames.size() > kShown ? text + ", ..." : text;
}

std::string Rate(size_t frames, double seconds)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.1f s, %.2f fps", seconds, seconds > 0 ? frames / seconds : 0.0);
    return text;
}

// One frame whole: its input (and matte) read, rendered, written atomically.
// Called from several render threads at once.
class FrameRenderer {
public:
    FrameRenderer(const RenderCommand &command, const SequencePlan &plan, EffectSession &session,
                  std::ostream &out)
        : command_(command), plan_(plan), session_(session), out_(out),
          values_(
              ResolveParamValues(session.catalog(), command.assignments, plan.size.width, plan.size.height))
    {
    }

    void Render(int frame)
    {
        HostImage input = ReadImageFile(plan_.input.For(frame), plan_.depth, command_.max_memory).image;
        if (input.width() != plan_.size.width || input.height() != plan_.size.height) {
            throw UsageError(plan_.input.For(frame).string() + " is no longer " + SizeText(plan_.size));
        }
        std::optional<HostImage> matte;
        if (plan_.matte_frames) {
            matte = ReadImageFile(plan_.matte_frames->For(frame), plan_.depth, command_.max_memory).image;
        }
        const HostImage *matte_image = matte ? &*matte : (plan_.matte_still ? &*plan_.matte_still : nullptr);
        WriteImageFile(plan_.output.For(frame),
                       session_.Render(std::move(input), matte_image, values_, Options(frame)));
        if (command_.verbose) {
            std::lock_guard lock(out_mutex_);
            out_ << "wrote " << plan_.output.For(frame).string() << "\n";
        }
    }

    // What the effect kept from the host, once every frame is done.
    void ReportBooks()
    {
        if (command_.verbose) {
            for (const std::string &problem : session_.books().Imbalances()) {
                out_ << "host books: " << problem << "\n";
            }
        }
        out_.flush();
    }

private:
    FrameOptions Options(int frame)
    {
        FrameOptions options;
        options.legacy = command_.legacy;
        options.tile_width = command_.tile_width;
        options.tile_height = command_.tile_height;
        if (command_.verbose) {
            options.report = [this, frame](const std::string &line) {
                // The books balance only between frames: ReportBooks reads them at the end.
                if (line.rfind("host books: ", 0) != 0) {
                    std::lock_guard lock(out_mutex_);
                    out_ << "frame " << frame << ": " << line << "\n";
                }
            };
        }
        return options;
    }

    const RenderCommand &command_;
    const SequencePlan &plan_;
    EffectSession &session_;
    std::ostream &out_;
    const std::map<int, PF_ParamDef> values_;
    std::mutex out_mutex_;
};

// The closing line and the exit status.
int Summarize(const RenderCommand &command, const SequencePlan &plan, const Progress &progress,
              const std::vector<int> &failed, int signal, ProgressStyle style, std::ostream &err)
{
    const size_t total = plan.frames.size();
    const std::string written =
        std::to_string(progress.done()) + " of " + std::to_string(total) + " frames written";
    if (signal != 0) {
        err << "prismora: interrupted: " << written
            << "; run again with --skip-existing to render the rest\n";
        return 128 + signal;
    }
    if (!failed.empty()) {
        if (command.keep_going) {
            err << "prismora: " << failed.size() << " of " << total << " frames failed ("
                << FrameListText(failed) << "); " << written << "\n";
        } else {
            err << "prismora: stopped at the failure of frame " << failed.front() << ": " << written
                << " (--keep-going renders the rest)\n";
        }
        return kExitEffectError;
    }
    if (style != ProgressStyle::kQuiet) {
        err << "prismora: " << total << " frames written in " << Rate(total, progress.seconds());
        if (plan.skipped > 0) {
            err << " (" << plan.skipped << " existing skipped)";
        }
        err << "\n";
    }
    return kExitOk;
}

} // namespace

bool IsSequence(const RenderCommand &command)
{
    return command.frames.has_value() || PatternUnlessFile(command.input).has_value();
}

int RunSequence(const RenderCommand &command, std::ostream &out, std::ostream &err)
{
    const SequencePlan plan = MakePlan(command);
    const ProgressStyle style = ProgressStyleFor(err, command.quiet);
    if (plan.frames.empty()) {
        if (style != ProgressStyle::kQuiet) {
            err << "prismora: all " << plan.skipped << " frames exist; nothing to render\n";
        }
        return kExitOk;
    }
    EffectSession session(FindPlugin(), hostsim::GpuDeviceChoice::kCudaIfPresent, command.threads);
    FrameRenderer renderer(command, plan, session, out);
    const int jobs = FramesInFlight(command, plan, session);

    Progress progress(err, style, static_cast<int>(plan.frames.size()));
    Failures failures;
    std::atomic<bool> stop{false};
    std::atomic<size_t> next{0};
    const InterruptGuard interrupt;
    // As After Effects' multi-frame rendering: each of `jobs` render threads
    // takes the next frame whole until none is left or the job stops.
    session.RunOnRenderThreads(jobs, [&] {
        for (size_t i; !stop && interrupt.signal() == 0 && (i = next.fetch_add(1)) < plan.frames.size();) {
            const int frame = plan.frames[i];
            try {
                renderer.Render(frame);
                progress.FrameDone(frame);
                continue;
            } catch (const hostsim::HostError &e) {
                failures.Add(frame, std::string("host: ") + e.what(), progress);
            } catch (const std::exception &e) {
                failures.Add(frame, e.what(), progress);
            }
            if (!command.keep_going) {
                stop = true; // the frames in flight still finish
            }
        }
    });
    progress.Finish();
    renderer.ReportBooks();
    return Summarize(command, plan, progress, failures.frames(), interrupt.signal(), style, err);
}

} // namespace prismora::cli
