// Feeds arbitrary bytes to the module data reader: the first byte chooses the resource form, the
// appended form, bare line tables or an export table; the rest is the input. Whatever is read is
// then resolved at a spread of offsets. A crash, a hang or a sanitizer report is a finding; a
// refused or partly read block is the documented outcome. Old and appended blocks go through the
// options loader, which finds where their options end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "crash/moduledata/export_names.h"
#include "crash/moduledata/line_tables.h"
#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/moduledata/pe_exports.h"
#include "crash/options/options_stream.h"

namespace {

using namespace quillan::crash;

const TTeaChain kChain(TeaKeyFromPassword("fuzz"), kNameChainStart);

void Resolve(const TLineTables& tables) {
    TLineLocation at;
    for (std::uint32_t offset : {0u, 1u, 7u, 64u, 100u, 1000u, 4096u, 65536u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        (void)tables.Resolve(offset, at);
    }
    for (size_t i = 0; i < tables.UnitCount() && i < 64; ++i) {
        const TUnitInfo unit = tables.UnitAt(i);
        (void)tables.Resolve(unit.StartOffset, at);
        (void)tables.Resolve(unit.StartOffset + unit.CodeSize / 2, at);
    }
}

void Tables(const TModuleBlock& block) {
    if (!block.HasLineTables) return;
    Resolve(TLineTables(block.LineTables, TNameDecoder(block.Version, kChain, kOptionsStringMask)));
    Resolve(TLineTables(block.LineTables, TNameDecoder(block.Version, std::nullopt, 0)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    TModuleBlock block;
    switch (data[0] % 4) {
        case 0:
            if (ReadResourceBlock(input, block)) Tables(block);
            break;
        case 1: {
            if (input.size() >= 8) {
                if (auto place = FindAppendedBlock(input.size(), input.substr(input.size() - 8))) {
                    if (ReadAppendedBlock(input.substr(place->Offset, place->Length), block)) Tables(block);
                }
            }
            break;
        }
        case 2:
            for (std::uint16_t version : {std::uint16_t{420}, std::uint16_t{470}, std::uint16_t{506}}) {
                Resolve(TLineTables(std::string(input), TNameDecoder(version, kChain, 0)));
            }
            break;
        case 3: {
            const TAddress base = 0x10000000;
            TBufferMemoryReader memory(base, input.data(), input.size());
            const TMishapFunctionsList functions = ReadExportedFunctions(memory, base, nullptr);
            for (const TExportedFunction& f : functions) {
                TMishapStackEntry entry;
                (void)DecodeExportName(f.Name, entry);
                (void)FindExportedFunction(functions, f.Address + 1);
            }
            break;
        }
    }
    return 0;
}
