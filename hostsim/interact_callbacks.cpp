// checkout_param, checkin_param, add_param and the small interaction callbacks.
#include <string>

#include "hostsim/call_context.h"
#include "hostsim/callbacks.h"

namespace prismora::hostsim {
namespace {

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long, A_long, A_u_long, PF_ParamDef *param)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkout_param")) {
        return err;
    }
    if (!ctx->values) {
        return ctx->Refuse("checkout_param outside a frame");
    }
    if (!param) {
        return ctx->Refuse("checkout_param without a record");
    }
    if (param >= ctx->params_begin && param < ctx->params_end) {
        return ctx->Refuse("checkout_param into the params array");
    }
    if (index < 0 || index >= ctx->values->size()) {
        ctx->books.Note("checkout_param of index " + std::to_string(index));
        return PF_Err_INVALID_INDEX;
    }
    *param = ctx->values->ValueRecord(index);
    ++ctx->checked_out_params[param];
    ctx->books.Update([](BookTotals &t) { ++t.param_checkouts; });
    return PF_Err_NONE;
}

PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef *param)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkin_param")) {
        return err;
    }
    const auto it = ctx->checked_out_params.find(param);
    if (it == ctx->checked_out_params.end()) {
        return ctx->Refuse("checkin_param of a record that was not checked out");
    }
    if (--it->second == 0) {
        ctx->checked_out_params.erase(it);
    }
    ctx->books.Update([](BookTotals &t) { ++t.param_checkins; });
    return PF_Err_NONE;
}

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("add_param")) {
        return err;
    }
    if (!ctx->declaring || ctx->cmd != PF_Cmd_PARAMS_SETUP) {
        return ctx->Refuse("add_param outside parameter set-up");
    }
    if (!def) {
        return ctx->Refuse("add_param without a record");
    }
    if (index != -1) {
        ctx->books.Note("add_param at index " + std::to_string(index) + " (only -1, append, is supported)");
        return PF_Err_INVALID_INDEX;
    }
    ctx->declaring->Add(*def);
    return PF_Err_NONE;
}

// Answers the injected code (a cancel, say) or 0. Only the thread the command
// runs on may ask: the effect's helper threads have no command of their own.
PF_Err Abort(PF_ProgPtr effect_ref)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("abort")) {
        return err;
    }
    if (CallContext::Current() != ctx) {
        return ctx->Refuse("abort called from a thread other than the command's");
    }
    return PF_Err_NONE;
}

PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long total)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("progress")) {
        return err;
    }
    if (CallContext::Current() != ctx) {
        return ctx->Refuse("progress called from a thread other than the command's");
    }
    if (total < 1 || current < 0 || current > total) {
        return ctx->Refuse("progress " + std::to_string(current) + " of " + std::to_string(total));
    }
    return PF_Err_NONE;
}

PF_Err RegisterUi(PF_ProgPtr effect_ref, PF_CustomUIInfo *)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    return ctx ? ctx->Enter("register_ui") : PF_Err_BAD_CALLBACK_PARAM;
}

PF_InteractCallbacks MakeInteractCallbacks()
{
    PF_InteractCallbacks cb{};
    cb.checkout_param = CheckoutParam;
    cb.checkin_param = CheckinParam;
    cb.add_param = AddParam;
    cb.abort = Abort;
    cb.progress = Progress;
    cb.register_ui = RegisterUi;
    return cb;
}

} // namespace

const PF_InteractCallbacks &InteractCallbacks()
{
    static const PF_InteractCallbacks callbacks = MakeInteractCallbacks();
    return callbacks;
}

} // namespace prismora::hostsim
