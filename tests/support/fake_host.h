// A minimal stand-in for the host's in_data/out_data and add_param callback:
// records every parameter the effect declares and can fail or throw on demand.
#pragma once

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AE_Effect.h"

namespace prismora::test {

class FakeHost {
public:
    // The records as the effect handed them over, byte for byte, and the popup
    // and checkbox texts copied when each was added.
    std::vector<PF_ParamDef> added;
    std::vector<std::string> texts;
    // The add_param call that would add parameter `fail_at` (1-based) returns
    // `fail_err` instead; with `throw_bad_alloc` every call throws, as an
    // exhausted host would.
    int fail_at = 0;
    PF_Err fail_err = PF_Err_NONE;
    bool throw_bad_alloc = false;

    FakeHost()
    {
        std::memset(&in_data_, 0, sizeof(in_data_));
        std::memset(&out_data_, 0, sizeof(out_data_));
        in_data_.inter.add_param = &AddParam;
        in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    }
    FakeHost(const FakeHost &) = delete;
    FakeHost &operator=(const FakeHost &) = delete;

    PF_InData *in_data() { return &in_data_; }
    PF_OutData *out_data() { return &out_data_; }

private:
    static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex, PF_ParamDefPtr def)
    {
        FakeHost &host = *reinterpret_cast<FakeHost *>(effect_ref);
        if (host.throw_bad_alloc) {
            throw std::bad_alloc();
        }
        if (static_cast<int>(host.added.size()) + 1 == host.fail_at) {
            return host.fail_err;
        }
        PF_ParamDef copy;
        std::memcpy(&copy, def, sizeof(copy));
        host.added.push_back(copy);
        const char *text = def->param_type == PF_Param_POPUP      ? def->u.pd.u.namesptr
                           : def->param_type == PF_Param_CHECKBOX ? def->u.bd.u.nameptr
                                                                  : nullptr;
        host.texts.push_back(text != nullptr ? text : "<null>");
        return PF_Err_NONE;
    }

    PF_InData in_data_;
    PF_OutData out_data_;
};

} // namespace prismora::test
