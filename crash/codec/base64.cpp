#include "crash/codec/base64.h"

#include <cstdint>

namespace quillan::crash {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                     static_cast<uint8_t>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64EncodeLines(std::string_view bytes, size_t lineLength) {
    const std::string flat = Base64Encode(bytes);
    if (lineLength == 0) return flat + "\r\n";
    std::string out;
    out.reserve(flat.size() + (flat.size() / lineLength + 1) * 2);
    for (size_t at = 0; at < flat.size(); at += lineLength) {
        out.append(flat, at, lineLength);
        out += "\r\n";
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
    std::string result;
    result.reserve(text.size() / 4 * 3);
    uint32_t acc = 0;
    int digits = 0, padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int v = DigitValue(c);
        if (v < 0 || padding > 0) return false;  // no digit may follow the padding
        acc = acc << 6 | static_cast<uint32_t>(v);
        if (++digits == 4) {
            result += static_cast<char>(acc >> 16);
            result += static_cast<char>(acc >> 8);
            result += static_cast<char>(acc);
            acc = 0;
            digits = 0;
        }
    }
    if (digits == 1 || padding > 2 || (padding > 0 && digits + padding != 4)) return false;
    if (digits == 2) result += static_cast<char>(acc >> 4);
    if (digits == 3) {
        result += static_cast<char>(acc >> 10);
        result += static_cast<char>(acc >> 2);
    }
    out = std::move(result);
    return true;
}

}  // namespace quillan::crash
