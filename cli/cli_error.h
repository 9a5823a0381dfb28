// The two ways a command fails: the user's input was wrong (exit 2) or the
// effect reported an error (exit 1).
#pragma once

#include <stdexcept>
#include <string>

namespace prismora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitEffectError = 1;
inline constexpr int kExitUsage = 2;

// Bad arguments, unknown or out-of-range parameters, unreadable or unwritable
// files. The message is the whole line shown to the user.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A non-zero code returned by the effect or by the host on its behalf.
class EffectError : public std::runtime_error {
public:
    EffectError(const std::string &what, int code) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

} // namespace prismora::cli
