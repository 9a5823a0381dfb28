#include "effect/pipl.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "effect/plugin_version.h"

namespace prismora {
namespace {

// Serialises PiPL properties. Four-character codes are stored with their bytes
// reversed, as the Windows resource tools write them.
class PiPLWriter {
public:
    void Property(std::string_view key, const std::vector<uint8_t> &data, uint32_t length)
    {
        Code("8BIM");
        Code(key);
        U32(0); // property id
        U32(length);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        while (bytes_.size() % 4 != 0) {
            bytes_.push_back(0);
        }
        ++count_;
    }

    // Data padded to a multiple of 4; the length counts the padding.
    void PaddedProperty(std::string_view key, std::vector<uint8_t> data)
    {
        while (data.size() % 4 != 0) {
            data.push_back(0);
        }
        Property(key, data, static_cast<uint32_t>(data.size()));
    }

    std::vector<uint8_t> Finish() const
    {
        std::vector<uint8_t> out;
        AppendLE(out, 1, 2); // resource version
        AppendLE(out, 0, 4); // reserved
        AppendLE(out, count_, 4);
        out.insert(out.end(), bytes_.begin(), bytes_.end());
        return out;
    }

    static void AppendLE(std::vector<uint8_t> &out, uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i) {
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }

private:
    void Code(std::string_view code)
    {
        for (auto it = code.rbegin(); it != code.rend(); ++it) {
            bytes_.push_back(static_cast<uint8_t>(*it));
        }
    }
    void U32(uint32_t value) { AppendLE(bytes_, value, 4); }

    std::vector<uint8_t> bytes_;
    uint32_t count_ = 0;
};

std::vector<uint8_t> LE(uint32_t value, int size)
{
    std::vector<uint8_t> out;
    PiPLWriter::AppendLE(out, value, size);
    return out;
}

std::vector<uint8_t> ReversedCode(std::string_view code)
{
    return {code.rbegin(), code.rend()};
}

// One length byte, then the characters, no terminator.
std::vector<uint8_t> LengthPrefixed(std::string_view text)
{
    // Sized first and copied: GCC 12 takes an insert after the one-byte
    // start for a write out of bounds (a false -Warray-bounds).
    std::vector<uint8_t> out(text.size() + 1);
    out[0] = static_cast<uint8_t>(text.size());
    std::copy(text.begin(), text.end(), out.begin() + 1);
    return out;
}

std::vector<uint8_t> ZeroTerminated(std::string_view text)
{
    std::vector<uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

std::vector<uint8_t> TwoShorts(uint16_t first, uint16_t second)
{
    std::vector<uint8_t> out = LE(first, 2);
    PiPLWriter::AppendLE(out, second, 2);
    return out;
}

} // namespace

std::vector<uint8_t> BuildPiPL()
{
    PiPLWriter pipl;
    pipl.Property("kind", ReversedCode("eFKT"), 4);
    pipl.PaddedProperty("name", LengthPrefixed(kEffectName));
    pipl.PaddedProperty("catg", LengthPrefixed(kEffectCategory));
    pipl.PaddedProperty("8664", ZeroTerminated(kEntryPointName));
    pipl.Property("ePVR", TwoShorts(2, 0), 4);
    pipl.Property("eSVR", TwoShorts(kEffectApiVersionMajor, kEffectApiVersionMinor), 4);
    pipl.Property("eVER", LE(kEffectVersion, 4), 4);
    pipl.Property("eINF", LE(0, 2), 2); // two bytes of flags; the writer pads them to four
    pipl.Property("eGLO", LE(static_cast<uint32_t>(kGlobalOutFlags), 4), 4);
    pipl.Property("eGL2", LE(static_cast<uint32_t>(kGlobalOutFlags2), 4), 4);
    pipl.PaddedProperty("eMNA", LengthPrefixed(kEffectMatchName));
    pipl.Property("aeFL", LE(0, 4), 4);
    return pipl.Finish();
}

std::string PiPLResourceScript(const std::vector<uint8_t> &pipl)
{
    // Written as 16-bit little-endian words, the one raw-data form every
    // resource compiler reads the same way. The resource's size is always even
    // (a 10-byte header and properties padded to 4 bytes).
    std::string rc = "// Generated at build time from the effect's own version and flag words.\n"
                     "LANGUAGE 0x09, 0x01 // LANG_ENGLISH, SUBLANG_ENGLISH_US\n";
    rc += std::to_string(kPiPLResourceId) + " PIPL DISCARDABLE\nBEGIN\n";
    for (size_t i = 0; i + 1 < pipl.size(); i += 2) {
        char word[16];
        std::snprintf(word, sizeof(word), "0x%02X%02X", pipl[i + 1], pipl[i]);
        rc += (i % 16 == 0) ? "    " : " ";
        rc += word;
        const bool last = i + 2 >= pipl.size();
        rc += last ? "\n" : (i % 16 == 14 ? ",\n" : ",");
    }
    rc += "END\n";
    return rc;
}

} // namespace prismora
