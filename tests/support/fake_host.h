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

    // The records as the effect handed them over, byte for byte.
    const std::vector<PF_ParamDef> &added() const { return added_; }
    // Popup and checkbox texts, copied when the parameter was added.
    const std::vector<std::string> &texts() const { return texts_; }
    // The position argument of every add_param call.
    const std::vector<PF_ParamIndex> &positions() const { return positions_; }

    // The add_param call that would add parameter `param_number` (1-based)
    // returns `err` instead, without adding it.
    void FailAddParam(int param_number, PF_Err err)
    {
        fail_at_ = param_number;
        fail_err_ = err;
    }

    // Every add_param call throws std::bad_alloc, as an exhausted host would.
    void ThrowOnAddParam(bool on) { throw_ = on; }

    void Reset()
    {
        added_.clear();
        texts_.clear();
        positions_.clear();
        fail_at_ = 0;
        throw_ = false;
    }

private:
    static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def)
    {
        FakeHost &host = *reinterpret_cast<FakeHost *>(effect_ref);
        if (host.throw_) {
            throw std::bad_alloc();
        }
        if (static_cast<int>(host.added_.size()) + 1 == host.fail_at_) {
            return host.fail_err_;
        }
        PF_ParamDef copy;
        std::memcpy(&copy, def, sizeof(copy));
        host.added_.push_back(copy);
        host.positions_.push_back(index);
        const char *text = nullptr;
        if (def->param_type == PF_Param_POPUP) {
            text = def->u.pd.u.namesptr;
        } else if (def->param_type == PF_Param_CHECKBOX) {
            text = def->u.bd.u.nameptr;
        }
        host.texts_.push_back(text != nullptr ? text : "<null>");
        return PF_Err_NONE;
    }

    PF_InData in_data_;
    PF_OutData out_data_;
    std::vector<PF_ParamDef> added_;
    std::vector<std::string> texts_;
    std::vector<PF_ParamIndex> positions_;
    int fail_at_ = 0;
    PF_Err fail_err_ = PF_Err_NONE;
    bool throw_ = false;
};

} // namespace prismora::test
