#include "tools/mldata/routines.h"

#include "crash/moduledata/module_data_format.h"
#include "crash/options/carried_options.h"

namespace quillan::mldata {

std::vector<std::pair<std::uint8_t, std::string>> ProgramRoutines() {
    return {{0, "quillan::win::TApplication::HandleException"}, {1, "quillan::win::TApplication::ShowException"}};
}

std::string CarriedOptions() { return crash::CarriedOptionsStream(); }

std::u16string ResourceName() {
    std::u16string name;
    for (const char* c = crash::kModuleDataResourceName; *c; ++c) name += static_cast<char16_t>(*c);
    return name;
}

}  // namespace quillan::mldata
