#include "crash/options/shared_block.h"

namespace quillan::crash {

std::string SharedBlockName(uint32_t processId, TAddress moduleHandle, const TReportLayout& layout) {
    return HexText(processId, 8) + HexText(moduleHandle, layout) + "MODULE";
}

std::string EncodeSharedBlock(const std::string* stream) {
    bool present = stream != nullptr && stream->size() + 5 <= kSharedBlockCapacity;
    uint32_t length = present ? static_cast<uint32_t>(stream->size()) : 0;
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>(length >> (8 * i));
    out += static_cast<char>(present ? 1 : 0);
    if (present) out += *stream;
    return out;
}

bool DecodeSharedBlock(std::string_view block, std::string& stream) {
    if (block.size() < 5 || block[4] != 1) return false;
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length |= static_cast<uint32_t>(static_cast<uint8_t>(block[i])) << (8 * i);
    if (length > block.size() - 5) return false;
    stream.assign(block.substr(5, length));
    return true;
}

}  // namespace quillan::crash
