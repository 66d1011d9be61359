// Names inside the line tables: a length byte and the name's bytes, enciphered. For versions
// above 501 bit 7 of the length byte marks a qualified name: the low 7 bits give the length of
// the last component and the qualifier follows as another encoded name ("qualifier.name").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crash/codec/tea.h"
#include "crash/moduledata/byte_io.h"

namespace quillan::crash {

// How a module's names are read.
class TNameDecoder {
public:
    // version: the block's format version. chain: the TEA chain of the module's key (versions
    // from 500), or none when the names could not be deciphered. xorMask: the options strings'
    // mask, used below version 500.
    TNameDecoder(std::uint16_t version, std::optional<TTeaChain> chain, std::uint8_t xorMask)
        : version_(version), chain_(std::move(chain)), xorMask_(xorMask) {}

    // False on a truncated name. A name that could not be deciphered reads as "?" + Base64 of
    // its raw bytes.
    bool Read(TByteReader& in, std::string& name) const;
    // Moves past one encoded name without deciphering it.
    static bool Skip(TByteReader& in, std::uint16_t version);

    bool Deciphered() const { return version_ < 500 || chain_.has_value(); }
    std::uint16_t Version() const { return version_; }

private:
    std::string Plain(std::string_view raw) const;

    std::uint16_t version_;
    std::optional<TTeaChain> chain_;
    std::uint8_t xorMask_;
};

// Writes names of the current format (TEA, qualified form available).
class TNameEncoder {
public:
    explicit TNameEncoder(TTeaChain chain) : chain_(std::move(chain)) {}

    // A plain name; longer names are cut to the 127 bytes the format can hold.
    void Write(std::string& out, std::string_view name) const;
    // qualifier + "." + name, the last component marked by bit 7.
    void WriteQualified(std::string& out, std::string_view qualifier, std::string_view name) const;

    static constexpr size_t kMaxLength = 127;

private:
    TTeaChain chain_;
};

}  // namespace quillan::crash
