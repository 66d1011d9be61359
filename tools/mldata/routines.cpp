#include "tools/mldata/routines.h"

#include "crash/moduledata/module_data_format.h"

namespace quillan::mldata {

std::vector<std::pair<std::uint8_t, std::string>> ProgramRoutines() {
    return {{0, "quillan::win::TApplication::HandleException"}, {1, "quillan::win::TApplication::ShowException"}};
}

std::string CarriedOptions() {
    // The options stream arrives with the options library; until then the block carries none.
    return {};
}

std::u16string ResourceName() {
    std::u16string name;
    for (const char* c = crash::kModuleDataResourceName; *c; ++c) name += static_cast<char16_t>(*c);
    return name;
}

}  // namespace quillan::mldata
