// The host's books: what the effect checked out, acquired and left behind,
// kept so that tests can assert every path returns what it took. Also the
// failure plan: make the Nth call of a named callback fail with a chosen code.
// Thread-safe; one Books per Host, shared by all frames in flight.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "AE_Effect.h"

namespace prismora::hostsim {

struct BookTotals {
    long param_checkouts = 0;
    long param_checkins = 0;
    long layer_checkouts = 0; // pre-render checkout_layer
    long layer_pixel_checkouts = 0;
    long layer_pixel_checkins = 0;
    long layer_pixels_left_out = 0; // still checked out when the frame ended
    long pre_render_records = 0;    // pre-render results that left a record or delete callback
    long pre_render_deletes = 0;    // delete callbacks the host made
    long effect_worlds_created = 0;
    long effect_worlds_disposed = 0;
    long effect_worlds_leaked = 0; // created by the effect and never disposed
    long gpu_worlds_created = 0;   // CreateGPUWorld
    long gpu_worlds_disposed = 0;  // DisposeGPUWorld
    long gpu_worlds_leaked = 0;    // created by the effect and never disposed
};

// One call the effect made, in order; detail names the suite for the suite calls.
struct HostCall {
    std::string callback;
    std::string detail;
};

class Books {
public:
    // The nth call (1-based, counted from now) of the callback or suite
    // function `callback` returns `code` without doing anything.
    void FailNthCall(std::string_view callback, int nth, PF_Err code);

    // Made by every callback as it starts: counts and logs the call and
    // returns the injected code, or 0 to go on.
    PF_Err OnCall(std::string_view callback, std::string_view detail = {});

    long Calls(std::string_view callback) const;
    // Every call since the last Reset, in the order they came.
    std::vector<HostCall> CallLog() const;
    BookTotals Totals() const;

    // Every way the books do not balance, plus every problem noted, one line
    // each; empty when the effect returned all it took.
    std::vector<std::string> Imbalances() const;

    void Reset();

    // Booking, used by the host's callbacks.
    void Note(std::string problem);
    void AddSuite(std::string_view suite, bool acquired);
    template <typename F> void Update(F &&f)
    {
        std::lock_guard lock(mutex_);
        f(totals_);
    }

private:
    struct Plan {
        long calls_seen = 0;
        int nth = 0;
        PF_Err code = 0;
    };

    mutable std::mutex mutex_;
    std::map<std::string, long, std::less<>> calls_;
    std::vector<HostCall> log_;
    std::map<std::string, long, std::less<>> acquires_;
    std::map<std::string, long, std::less<>> releases_;
    std::multimap<std::string, Plan, std::less<>> plans_;
    BookTotals totals_;
    std::vector<std::string> problems_;
};

} // namespace prismora::hostsim
