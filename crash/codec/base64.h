// Base64 (RFC 4648 alphabet, "=" padding), shared by the module data names and mail attachments.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillan::crash {

// The Base64 text of the bytes, without line breaks.
std::string Base64Encode(std::string_view bytes);

// The Base64 text broken into lines of lineLength characters, each ended by CR LF (the last too).
std::string Base64EncodeLines(std::string_view bytes, size_t lineLength);

// Decodes Base64 text; blanks and line breaks are skipped. Returns false (out untouched) on any
// other character outside the alphabet or on a bad length or padding.
[[nodiscard]] bool Base64Decode(std::string_view text, std::string& out);

}  // namespace quillan::crash
