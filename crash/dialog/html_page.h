// The error page a web host answers with instead of the dialog, and its CGI response.
// Platform-free.
#pragma once

#include <string>
#include <string_view>

namespace quillan::crash {

// The tag of HtmlLayout that the page's content replaces (found regardless of case).
inline constexpr std::string_view kHtmlTag = "<%HTML_TAG%>";

// The button after the message on a page that carries only the exception message; it goes back
// in the browser's history.
inline constexpr std::string_view kHtmlOkButton =
    "<br><input type=button value=\"Ok\" OnClick=\"history.go(-1)\" "
    "style=\"width:75;height:25;z-index:100;font-style:normal;font-size:10pt;text-decoration:none;\">";

// Text as HTML, replacing in this order: "&", the double quote, "'", "<", ">", two blanks
// ("&nbsp;&nbsp;"), each line break (CR LF, CR or LF: "<br>" and CR LF).
std::string TextToHtml(std::string_view text);

// The page: every kHtmlTag of layout replaced by html (inserted before "</body>", or appended, when
// the layout has no tag); "<title>" + title + "</title>" added when the layout has no title
// element; then the comment "<!-- MishapLog ID: id -->".
std::string BuildErrorPage(std::string_view layout, std::string_view html, std::string_view title, std::string_view id);

// The CGI answer: status 200, content type, the page's length in bytes, the blank line that ends
// the header, the page.
std::string CgiResponse(std::string_view page);

}  // namespace quillan::crash
