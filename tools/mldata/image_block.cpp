#include "tools/mldata/image_block.h"

#include <chrono>
#include <cstdlib>

#include "crash/codec/tea.h"
#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/options/options_stream.h"
#include "tools/mldata/routines.h"

namespace quillan::mldata {

bool ReadImageBlock(const TPeImage& image, crash::TModuleBlock& block) {
    if (auto data = image.FindResource(kRtRcData, ResourceName())) {
        if (crash::ReadResourceBlock(*data, block)) return true;
    }
    const std::string& bytes = image.Bytes();
    if (bytes.size() < 8) return false;
    auto place = crash::FindAppendedBlock(bytes.size(), std::string_view(bytes).substr(bytes.size() - 8));
    return place && crash::ReadAppendedBlock(std::string_view(bytes).substr(place->Offset, place->Length), block);
}

crash::TLineTables ImageLineTables(const crash::TModuleBlock& block, const std::string& password, bool* deciphered) {
    std::optional<crash::TTeaChain> chain;
    if (block.Version >= crash::kFirstTeaVersion) {
        crash::TTeaChain candidate(crash::TeaKeyFromPassword(password), crash::kNameChainStart);
        if (!block.CheckValue) {
            chain = candidate;
        } else {
            const std::string plain = candidate.Decipher(*block.CheckValue);
            crash::TByteReader in(plain);
            if (in.U32() == crash::kModuleDataMagic) chain = candidate;
        }
    }
    if (deciphered) *deciphered = block.Version < crash::kFirstTeaVersion || chain.has_value();
    return crash::TLineTables(block.LineTables, crash::TNameDecoder(block.Version, chain, crash::kOptionsStringMask));
}

std::string EncipheredCheckValue(const std::string& password) {
    std::string plain;
    crash::PutU32(plain, crash::kModuleDataMagic);
    return crash::TTeaChain(crash::TeaKeyFromPassword(password), crash::kNameChainStart).Encipher(plain);
}

double BuildDateNow() {
    double seconds;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        seconds = std::strtod(epoch, nullptr);
    } else {
        seconds = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    }
    // 1970-01-01 is day 25569 of the count that starts at 1899-12-30.
    return 25569.0 + seconds / 86400.0;
}

}  // namespace quillan::mldata
