#include "hostsim/books.h"

#include <set>

namespace prismora::hostsim {
namespace {

long Lookup(const std::map<std::string, long, std::less<>> &map, std::string_view key)
{
    const auto it = map.find(key);
    return it == map.end() ? 0 : it->second;
}

void Increment(std::map<std::string, long, std::less<>> &map, std::string_view key)
{
    auto it = map.find(key);
    if (it == map.end()) {
        it = map.emplace(std::string(key), 0).first;
    }
    ++it->second;
}

} // namespace

void Books::FailNthCall(std::string_view callback, int nth, PF_Err code)
{
    std::lock_guard lock(mutex_);
    plans_.emplace(std::string(callback), Plan{0, nth, code});
}

PF_Err Books::OnCall(std::string_view callback, std::string_view detail)
{
    std::lock_guard lock(mutex_);
    Increment(calls_, callback);
    log_.push_back({std::string(callback), std::string(detail)});
    PF_Err injected = PF_Err_NONE;
    auto [first, last] = plans_.equal_range(callback);
    while (first != last) {
        Plan &plan = first->second;
        if (++plan.calls_seen == plan.nth) {
            if (injected == PF_Err_NONE) {
                injected = plan.code;
            }
            first = plans_.erase(first); // one-shot
        } else {
            ++first;
        }
    }
    return injected;
}

long Books::Calls(std::string_view callback) const
{
    std::lock_guard lock(mutex_);
    return Lookup(calls_, callback);
}

std::vector<HostCall> Books::CallLog() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

BookTotals Books::Totals() const
{
    std::lock_guard lock(mutex_);
    return totals_;
}

std::vector<std::string> Books::Imbalances() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out = problems_;
    const BookTotals &t = totals_;
    auto differ = [&out](const std::string &what, long taken, long returned) {
        if (taken != returned) {
            out.push_back(what + ": " + std::to_string(taken) + " taken, " + std::to_string(returned) +
                          " returned");
        }
    };
    differ("checkout_param / checkin_param", t.param_checkouts, t.param_checkins);
    differ("checkout_layer_pixels / checkin_layer_pixels", t.layer_pixel_checkouts, t.layer_pixel_checkins);
    differ("pre-render records / deletes", t.pre_render_records, t.pre_render_deletes);
    differ("effect worlds created / disposed", t.effect_worlds_created, t.effect_worlds_disposed);
    differ("GPU worlds created / disposed", t.gpu_worlds_created, t.gpu_worlds_disposed);
    std::set<std::string> suites;
    for (const auto &[name, count] : acquires_) {
        suites.insert(name);
    }
    for (const auto &[name, count] : releases_) {
        suites.insert(name);
    }
    for (const std::string &name : suites) {
        differ("suite \"" + name + "\" acquired / released", Lookup(acquires_, name),
               Lookup(releases_, name));
    }
    return out;
}

void Books::Reset()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
    log_.clear();
    acquires_.clear();
    releases_.clear();
    plans_.clear();
    totals_ = {};
    problems_.clear();
}

void Books::Note(std::string problem)
{
    std::lock_guard lock(mutex_);
    problems_.push_back(std::move(problem));
}

void Books::AddSuite(std::string_view suite, bool acquired)
{
    std::lock_guard lock(mutex_);
    Increment(acquired ? acquires_ : releases_, suite);
}

} // namespace prismora::hostsim
