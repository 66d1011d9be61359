// Feeds arbitrary bytes to the options-stream loader. The first byte picks the format version;
// the rest is the stream. A clean load or EMishapOptionsError is fine; any other exception, a
// crash or a sanitizer report is a finding. A loaded stream must save and load back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crash/options/errors.h"
#include "crash/options/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static constexpr int kVersions[] = {421, 449, 499, 506};
    int version = kVersions[data[0] % 4];
    std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
    quillan::crash::TMishapModuleOptions options;
    try {
        options.LoadFromBytes(stream, version);
    } catch (const quillan::crash::EMishapOptionsError&) {
        return 0;
    }
    std::string saved = options.SaveToBytes();
    quillan::crash::TMishapModuleOptions back;
    if (back.LoadFromBytes(saved) != saved.size() || !back.SameAs(options)) std::abort();
    return 0;
}
