// Writes PiPL bytes for test effects, independently of the host's reader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AE_Effect.h"

namespace prismora::hostsim::test {

struct PiPLFields {
    std::string vendor = "8BIM";
    std::string kind = "eFKT";
    std::string name = "Fake Effect";
    std::string category = "Test";
    std::string entry_point = "EffectMain";
    std::string match_name = "Test_FakeEffect";
    A_u_long version = PF_VERSION(2, 3, 0, PF_Stage_DEVELOP, 7);
    PF_OutFlags out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
    PF_OutFlags2 out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
                              PF_OutFlag2_SUPPORTS_THREADED_RENDERING;
    uint16_t pipl_version = 1; // the resource's own version
    bool with_entry_point = true;
};

class PiPLBytes {
public:
    explicit PiPLBytes(const PiPLFields &f)
    {
        Prop(f.vendor, "kind", {f.kind.rbegin(), f.kind.rend()}, 4);
        Str(f.vendor, "name", Pascal(f.name));
        Str(f.vendor, "catg", Pascal(f.category));
        if (f.with_entry_point) {
            std::vector<uint8_t> z(f.entry_point.begin(), f.entry_point.end());
            z.push_back(0);
            Str(f.vendor, "8664", z);
        }
        Prop(f.vendor, "ePVR", {2, 0, 0, 0}, 4);
        Prop(f.vendor, "eSVR", {13, 0, 29, 0}, 4);
        Prop(f.vendor, "eVER", U32(f.version), 4);
        Prop(f.vendor, "eINF", {0, 0}, 2);
        Prop(f.vendor, "eGLO", U32(static_cast<uint32_t>(f.out_flags)), 4);
        Prop(f.vendor, "eGL2", U32(static_cast<uint32_t>(f.out_flags2)), 4);
        Str(f.vendor, "eMNA", Pascal(f.match_name));
        Prop(f.vendor, "aeFL", {0, 0, 0, 0}, 4);
        header_ = {
            static_cast<uint8_t>(f.pipl_version), static_cast<uint8_t>(f.pipl_version >> 8), 0, 0, 0, 0};
        const std::vector<uint8_t> n = U32(count_);
        header_.insert(header_.end(), n.begin(), n.end());
    }

    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> out = header_;
        out.insert(out.end(), body_.begin(), body_.end());
        return out;
    }

    void WriteTo(const std::filesystem::path &path) const
    {
        const std::vector<uint8_t> b = bytes();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), b.size());
    }

private:
    static std::vector<uint8_t> U32(uint32_t v)
    {
        return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                static_cast<uint8_t>(v >> 24)};
    }
    static std::vector<uint8_t> Pascal(const std::string &s)
    {
        std::vector<uint8_t> out(s.size() + 1, static_cast<uint8_t>(s.size()));
        std::copy(s.begin(), s.end(), out.begin() + 1);
        return out;
    }
    void Reversed(const std::string &code) { body_.insert(body_.end(), code.rbegin(), code.rend()); }
    void Prop(const std::string &vendor, const std::string &key, std::vector<uint8_t> data, uint32_t length)
    {
        Reversed(vendor);
        Reversed(key);
        const std::vector<uint8_t> id = U32(0), len = U32(length);
        body_.insert(body_.end(), id.begin(), id.end());
        body_.insert(body_.end(), len.begin(), len.end());
        while (data.size() % 4 != 0) {
            data.push_back(0);
        }
        body_.insert(body_.end(), data.begin(), data.end());
        ++count_;
    }
    // Strings are padded and their length counts the padding.
    void Str(const std::string &vendor, const std::string &key, std::vector<uint8_t> data)
    {
        while (data.size() % 4 != 0) {
            data.push_back(0);
        }
        Prop(vendor, key, data, static_cast<uint32_t>(data.size()));
    }

    std::vector<uint8_t> header_, body_;
    uint32_t count_ = 0;
};

} // namespace prismora::hostsim::test
