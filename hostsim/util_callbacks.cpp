// The utility callbacks: the ANSI block (sprintf, strcpy and the maths) is all
// an effect of this kind uses; the image utilities stay empty.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "hostsim/call_context.h"
#include "hostsim/callbacks.h"

namespace prismora::hostsim {
namespace {

// Effects print into return_msg, so output is cut to its 256 bytes.
int Sprintf(A_char *buffer, const A_char *format, ...)
{
    if (CallContext *ctx = CallContext::Current()) {
        ctx->books.OnCall("sprintf");
    }
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, PF_MAX_EFFECT_MSG_LEN + 1, format, args);
    va_end(args);
    return n;
}

A_char *Strcpy(A_char *dst, const A_char *src)
{
    return std::strcpy(dst, src);
}

PF_UtilCallbacks MakeUtilCallbacks()
{
    PF_UtilCallbacks u{};
    u.ansi.atan = [](A_FpLong x) { return std::atan(x); };
    u.ansi.atan2 = [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); };
    u.ansi.ceil = [](A_FpLong x) { return std::ceil(x); };
    u.ansi.cos = [](A_FpLong x) { return std::cos(x); };
    u.ansi.exp = [](A_FpLong x) { return std::exp(x); };
    u.ansi.fabs = [](A_FpLong x) { return std::fabs(x); };
    u.ansi.floor = [](A_FpLong x) { return std::floor(x); };
    u.ansi.fmod = [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); };
    u.ansi.hypot = [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); };
    u.ansi.log = [](A_FpLong x) { return std::log(x); };
    u.ansi.log10 = [](A_FpLong x) { return std::log10(x); };
    u.ansi.pow = [](A_FpLong x, A_FpLong y) { return std::pow(x, y); };
    u.ansi.sin = [](A_FpLong x) { return std::sin(x); };
    u.ansi.sqrt = [](A_FpLong x) { return std::sqrt(x); };
    u.ansi.tan = [](A_FpLong x) { return std::tan(x); };
    u.ansi.sprintf = Sprintf;
    u.ansi.strcpy = Strcpy;
    u.ansi.asin = [](A_FpLong x) { return std::asin(x); };
    u.ansi.acos = [](A_FpLong x) { return std::acos(x); };
    return u;
}

} // namespace

PF_UtilCallbacks *UtilCallbacks()
{
    static PF_UtilCallbacks callbacks = MakeUtilCallbacks();
    return &callbacks;
}

} // namespace prismora::hostsim
