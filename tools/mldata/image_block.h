// The module data block of an executable file, as the build writes it and as --resolve and the
// tests read it back without running the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crash/moduledata/line_tables.h"
#include "crash/moduledata/module_block.h"
#include "tools/mldata/pe_image.h"

namespace quillan::mldata {

// The block of image: its RCDATA "MLDATA", else the appended form at the end of the file.
// False when it carries none.
bool ReadImageBlock(const TPeImage& image, crash::TModuleBlock& block);

// The block's line tables with names deciphered by password (when its check value agrees).
crash::TLineTables ImageLineTables(const crash::TModuleBlock& block, const std::string& password, bool* deciphered);

// The check value a block of password carries.
std::string EncipheredCheckValue(const std::string& password);

// Days since 1899-12-30 of the build: SOURCE_DATE_EPOCH when set (reproducible builds), else now.
double BuildDateNow();

}  // namespace quillan::mldata
