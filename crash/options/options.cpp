#include "crash/options/options.h"

#include "crash/options/errors.h"

namespace quillan::crash {

const std::string_view kDefaultHtmlLayout =
    "<html>\r\n"
    "  <head>\r\n"
    "    <title></title>\r\n"
    "  </head>\r\n"
    "  <body TopMargin=10 LeftMargin=10>\r\n"
    "    <table width=\"100%\" border=\"0\">\r\n"
    "      <tr>\r\n"
    "        <td nowrap>\r\n"
    "          <font face=\"Lucida Console, Courier\" size=\"2\">\r\n"
    "            <%HTML_TAG%>\r\n"
    "          </font>\r\n"
    "        </td>\r\n"
    "      </tr>\r\n"
    "    </table>\r\n"
    "  </body>\r\n"
    "</html>";

int DetailBit(int section, int item) {
    if (section < 1 || section > static_cast<int>(kDetailSectionItems.size())) return -1;
    if (item < 1 || item > kDetailSectionItems[static_cast<size_t>(section - 1)]) return -1;
    int bit = 0;
    for (int s = 1; s < section; ++s) bit += kDetailSectionItems[static_cast<size_t>(s - 1)];
    return bit + item - 1;
}

TMishapModuleOptions::Fields::Fields()
    : HangMessage(kDefaultHangMessage), SmtpSender(kDefaultSmtpSender), HtmlLayout(kDefaultHtmlLayout) {
    for (size_t i = 0; i < kMishapTextCount; ++i) Texts[i] = kDefaultMishapTexts[i];
}

TMishapModuleOptions::TMishapModuleOptions() = default;

void TMishapModuleOptions::SetEnabled(bool value) {
    fields_.Enabled = value;
    Changed();
}

void TMishapModuleOptions::SetHangDetection(bool value) {
    fields_.HangDetection = value;
    Changed();
}

void TMishapModuleOptions::SetMaxLogReports(uint32_t value) {
    fields_.MaxLogReports = value == 0 ? 1 : value;
    Changed();
}

void TMishapModuleOptions::SetDetailMask(uint64_t value) {
    fields_.DetailMask = value & kDetailMaskAll;
    Changed();
}

bool TMishapModuleOptions::DetailShown(int section, int item) const {
    int bit = DetailBit(section, item);
    return bit < 0 || (fields_.DetailMask >> bit) & 1;
}

void TMishapModuleOptions::AddFilter(std::string className, std::string message) {
    fields_.FilterClasses.push_back(std::move(className));
    fields_.FilterMessages.push_back(std::move(message));
    Changed();
}

void TMishapModuleOptions::ClearFilters() {
    fields_.FilterClasses.clear();
    fields_.FilterMessages.clear();
    Changed();
}

const std::string& TMishapModuleOptions::Text(int index) const {
    static const std::string empty;
    if (index < 0 || index >= static_cast<int>(kMishapTextCount)) return empty;
    return fields_.Texts[static_cast<size_t>(index)];
}

void TMishapModuleOptions::SetText(int index, std::string value) {
    if (index < 0 || index >= static_cast<int>(kMishapTextCount)) return;
    fields_.Texts[static_cast<size_t>(index)] = std::move(value);
    Changed();
}

void TMishapModuleOptions::Assign(const TMishapModuleOptions* source) {
    if (source == nullptr) throw EMishapLogError("Impossible to assign nil as TMishapModuleOptions.");
    if (source == this) return;
    fields_ = source->fields_;
    Changed();
}

void TMishapModuleOptions::Reset() {
    fields_ = Fields();
    Changed();
}

bool TMishapModuleOptions::SameAs(const TMishapModuleOptions& other) const { return fields_ == other.fields_; }

}  // namespace quillan::crash
