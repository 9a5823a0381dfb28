#include "hostsim/pipl_reader.h"

#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "hostsim/host_error.h"

namespace prismora::hostsim {
namespace {

class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
    uint16_t U16() { return static_cast<uint16_t>(Little(2)); }

    // Four-character codes are stored back to front.
    std::string Code()
    {
        const std::span<const uint8_t> raw = Take(4);
        return {raw.rbegin(), raw.rend()};
    }

    std::span<const uint8_t> Take(size_t count)
    {
        if (count > bytes_.size() - pos_) {
            throw HostError("PiPL is truncated at byte " + std::to_string(pos_));
        }
        const std::span<const uint8_t> out = bytes_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    size_t remaining() const { return bytes_.size() - pos_; }

private:
    uint64_t Little(int size)
    {
        const std::span<const uint8_t> raw = Take(static_cast<size_t>(size));
        uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value = (value << 8) | raw[static_cast<size_t>(i)];
        }
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

uint32_t DataU32(const std::string &key, std::span<const uint8_t> data)
{
    if (data.size() != 4) {
        throw HostError("PiPL property " + key + " has length " + std::to_string(data.size()) +
                        ", expected 4");
    }
    return Cursor(data).U32();
}

std::string LengthPrefixed(const std::string &key, std::span<const uint8_t> data)
{
    if (data.empty() || data[0] + 1u > data.size()) {
        throw HostError("PiPL property " + key + " is not a length-prefixed string");
    }
    return {data.begin() + 1, data.begin() + 1 + data[0]};
}

std::string ZeroTerminated(const std::string &key, std::span<const uint8_t> data)
{
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == 0) {
            return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(i)};
        }
    }
    throw HostError("PiPL property " + key + " is not a zero-terminated string");
}

void ApplyProperty(PiPL &pipl, const std::string &key, std::span<const uint8_t> data)
{
    if (key == "kind") {
        if (data.size() != 4) {
            throw HostError("PiPL property kind has length " + std::to_string(data.size()));
        }
        pipl.kind = Cursor(data).Code();
    } else if (key == "name") {
        pipl.name = LengthPrefixed(key, data);
    } else if (key == "catg") {
        pipl.category = LengthPrefixed(key, data);
    } else if (key == "8664") {
        pipl.entry_point = ZeroTerminated(key, data);
    } else if (key == "ePVR" || key == "eSVR") {
        const uint32_t both = DataU32(key, data);
        const auto major = static_cast<A_short>(both & 0xFFFF);
        const auto minor = static_cast<A_short>(both >> 16);
        (key == "ePVR" ? pipl.pipl_version_major : pipl.spec_version_major) = major;
        (key == "ePVR" ? pipl.pipl_version_minor : pipl.spec_version_minor) = minor;
    } else if (key == "eVER") {
        pipl.effect_version = DataU32(key, data);
    } else if (key == "eINF") {
        // Written as two bytes by some tools and four by others.
        if (data.size() != 2 && data.size() != 4) {
            throw HostError("PiPL property eINF has length " + std::to_string(data.size()));
        }
        pipl.info_flags = data.size() == 2 ? Cursor(data).U16() : Cursor(data).U32();
    } else if (key == "eGLO") {
        pipl.global_flags = static_cast<PF_OutFlags>(DataU32(key, data));
    } else if (key == "eGL2") {
        pipl.global_flags2 = static_cast<PF_OutFlags2>(DataU32(key, data));
    } else if (key == "eMNA") {
        pipl.match_name = LengthPrefixed(key, data);
    } else if (key == "aeFL") {
        pipl.reserved_info = DataU32(key, data);
    }
    // Other properties (a support URL, say) mean nothing to this host.
}

} // namespace

PiPL ParsePiPL(std::span<const uint8_t> bytes)
{
    Cursor in(bytes);
    const uint16_t version = in.U16();
    if (version != 1) {
        throw HostError("PiPL version is " + std::to_string(version) + ", expected 1");
    }
    in.U32(); // reserved
    const uint32_t count = in.U32();

    PiPL pipl;
    std::set<std::string> seen;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string vendor = in.Code();
        const std::string key = in.Code();
        in.U32(); // property id
        const uint32_t length = in.U32();
        if (vendor != "8BIM") {
            throw HostError("PiPL property " + key + " has vendor '" + vendor + "', expected '8BIM'");
        }
        if (!seen.insert(key).second) {
            throw HostError("PiPL property " + key + " appears twice");
        }
        ApplyProperty(pipl, key, in.Take(length));
        in.Take((4 - length % 4) % 4); // zero fill to the next multiple of 4
    }
    if (in.remaining() != 0) {
        throw HostError("PiPL has " + std::to_string(in.remaining()) + " bytes after its " +
                        std::to_string(count) + " properties");
    }
    for (const char *required :
         {"kind", "name", "catg", "8664", "ePVR", "eSVR", "eVER", "eGLO", "eGL2", "eMNA"}) {
        if (!seen.contains(required)) {
            throw HostError(std::string("PiPL has no ") + required + " property");
        }
    }
    return pipl;
}

std::filesystem::path PiPLPathFor(const std::filesystem::path &library)
{
    return library.parent_path() / (library.stem().string() + ".pipl");
}

PiPL ReadPiPLFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw HostError("cannot read the PiPL file " + path.string());
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    try {
        return ParsePiPL(bytes);
    } catch (const HostError &e) {
        throw HostError(path.string() + ": " + e.what());
    }
}

} // namespace prismora::hostsim
