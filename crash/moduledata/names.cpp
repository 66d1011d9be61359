#include "crash/moduledata/names.h"

#include <vector>

#include "crash/codec/base64.h"
#include "crash/moduledata/module_data_format.h"

namespace quillan::crash {
namespace {

// A qualifier chain longer than this is not a name but a hostile block.
constexpr int kMaxComponents = 16;

}  // namespace

std::string TNameDecoder::Plain(std::string_view raw) const {
    if (version_ < kFirstTeaVersion) {
        std::string out(raw);
        for (char& c : out) c = static_cast<char>(c ^ xorMask_);
        return out;
    }
    if (!chain_) {
        std::string shown(1, '?');
        shown += Base64Encode(raw);
        return shown;
    }
    return chain_->Decipher(raw);
}

bool TNameDecoder::Read(TByteReader& in, std::string& name) const {
    // Components arrive last first: "name", then its qualifier, then the qualifier's qualifier.
    std::vector<std::string> components;
    for (;;) {
        const std::uint8_t head = in.U8();
        const bool qualified = version_ >= kFirstQualifiedVersion && (head & 0x80) != 0;
        const size_t length = version_ >= kFirstQualifiedVersion ? (head & 0x7F) : head;
        const std::string_view raw = in.Bytes(length);
        if (!in.Ok()) return false;
        components.push_back(Plain(raw));
        if (!qualified) break;
        if (static_cast<int>(components.size()) >= kMaxComponents) return false;
    }
    name.clear();
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (it != components.rbegin()) name += '.';
        name += *it;
    }
    return true;
}

bool TNameDecoder::Skip(TByteReader& in, std::uint16_t version) {
    for (int i = 0; i < kMaxComponents; ++i) {
        const std::uint8_t head = in.U8();
        const bool qualified = version >= kFirstQualifiedVersion && (head & 0x80) != 0;
        in.Skip(version >= kFirstQualifiedVersion ? (head & 0x7F) : head);
        if (!in.Ok()) return false;
        if (!qualified) return true;
    }
    return false;
}

void TNameEncoder::Write(std::string& out, std::string_view name) const {
    name = name.substr(0, kMaxLength);
    out += static_cast<char>(name.size());
    out += chain_.Encipher(name);
}

void TNameEncoder::WriteQualified(std::string& out, std::string_view qualifier, std::string_view name) const {
    name = name.substr(0, kMaxLength);
    out += static_cast<char>(0x80 | name.size());
    out += chain_.Encipher(name);
    Write(out, qualifier);
}

}  // namespace quillan::crash
