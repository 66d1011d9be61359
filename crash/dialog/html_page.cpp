#include "crash/dialog/html_page.h"

#include <algorithm>
#include <cctype>

#include "framework/core/convert.h"

namespace quillan::crash {

namespace {

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        out.append(text, from, at - from);
        out += with;
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

// Position of what in text from `from` on, ignoring ASCII case; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view what, size_t from = 0) {
    if (what.empty() || text.size() < what.size()) return std::string_view::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && AsciiLower(text[i + k]) == AsciiLower(what[k])) ++k;
        if (k == what.size()) return i;
    }
    return std::string_view::npos;
}

// Position of the start tag <name ...> or <name>; npos when absent.
size_t FindStartTag(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name);
    for (size_t at = FindNoCase(text, open); at != std::string_view::npos; at = FindNoCase(text, open, at + 1)) {
        const size_t next = at + open.size();
        if (next < text.size() && (text[next] == '>' || std::isspace(static_cast<unsigned char>(text[next]))))
            return at;
    }
    return std::string_view::npos;
}

// Just after the '>' of the start tag at `at`.
size_t AfterTag(std::string_view text, size_t at) {
    const size_t close = text.find('>', at);
    return close == std::string_view::npos ? text.size() : close + 1;
}

}  // namespace

std::string TextToHtml(std::string_view text) {
    std::string html(text);
    ReplaceAll(html, "&", "&amp;");
    ReplaceAll(html, "\"", "&quot;");
    ReplaceAll(html, "'", "&#039;");
    ReplaceAll(html, "<", "&lt;");
    ReplaceAll(html, ">", "&gt;");
    ReplaceAll(html, "  ", "&nbsp;&nbsp;");
    // Every form of line break counts once: CR LF first, then what is left alone.
    ReplaceAll(html, "\r\n", "\n");
    ReplaceAll(html, "\r", "\n");
    ReplaceAll(html, "\n", "<br>\r\n");
    return html;
}

std::string BuildErrorPage(std::string_view layout, std::string_view html, std::string_view title,
                           std::string_view id) {
    std::string page;
    size_t from = 0;
    bool replaced = false;
    for (size_t at = FindNoCase(layout, kHtmlTag); at != std::string_view::npos;
         at = FindNoCase(layout, kHtmlTag, from)) {
        page.append(layout.substr(from, at - from));
        page += html;
        from = at + kHtmlTag.size();
        replaced = true;
    }
    page.append(layout.substr(from));
    if (!replaced) {
        // A layout without the tag would show an empty page and hide the error.
        const size_t body = FindNoCase(page, "</body");
        page.insert(body == std::string::npos ? page.size() : body, html);
    }
    if (FindStartTag(page, "title") == std::string::npos) {
        const std::string element = "<title>" + TextToHtml(title) + "</title>";
        size_t at = FindStartTag(page, "head");
        if (at == std::string::npos) at = FindStartTag(page, "html");
        page.insert(at == std::string::npos ? 0 : AfterTag(page, at), element);
    }
    // "--" would end the comment early.
    std::string safeId(id);
    while (safeId.find("--") != std::string::npos) ReplaceAll(safeId, "--", "- -");
    page += "<!-- MishapLog ID: " + safeId + " -->";
    return page;
}

std::string CgiResponse(std::string_view page) {
    std::string out = "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: ";
    out += std::to_string(page.size());
    // The empty line ends the header; without it a server reads the page as more header lines.
    out += "\r\n\r\n";
    out += page;
    return out;
}

}  // namespace quillan::crash
