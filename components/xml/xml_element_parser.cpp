// Ordinary elements, their attributes and child lists.
#include <cstring>
#include <string_view>

#include "components/xml/xml_parser.h"

namespace quillan::xml_detail {

namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline bool IsPropNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

[[noreturn]] void Fail(const char* pattern, std::vector<std::string> args = {}) {
    throw ESimpleXMLError(Format(pattern, args));
}

std::string Ch(char c) { return std::string(1, c); }

// Only what follows the first ":" of an end tag counts.
std::string_view LocalName(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

TSimpleXMLElem& Append(TSimpleXMLElems& list, std::unique_ptr<TSimpleXMLElem> child) {
    return list.Add(std::move(child));
}

}  // namespace

void TXmlParser::ParseProps(TSimpleXMLElem& elem) {
    for (;;) {
        SkipBlanks();
        if (p_ == end_) return;
        char c = *p_;
        if (c == '/' || c == '>' || c == '?') return;
        if (!IsPropNameChar(c)) Fail(kSXPropChar, {Ch(c)});
        const char* start = p_;
        const char* prefixStart = nullptr;
        const char* prefixEnd = nullptr;
        for (++p_; p_ < end_; ++p_) {
            if (IsPropNameChar(*p_)) continue;
            if (*p_ != ':') break;
            prefixStart = start;
            prefixEnd = p_;
            start = p_ + 1;
        }
        if (p_ == end_) return;
        const char* nameEnd = p_;
        if (IsBlank(*p_)) {
            SkipBlanks();
            if (p_ == end_) return;
        }
        if (*p_ != '=') Fail(kSXPropChar, {Ch(*p_)});
        ++p_;
        SkipBlanks();
        if (p_ == end_) return;
        char quote = *p_;
        if (quote != '"' && quote != '\'') Fail(kSXPropQuote, {Ch(quote)});
        const void* close = std::memchr(p_ + 1, quote, static_cast<size_t>(end_ - p_ - 1));
        if (!close) {
            p_ = end_;
            return;
        }
        std::string value(p_ + 1, static_cast<const char*>(close));
        p_ = static_cast<const char*>(close) + 1;
        Decode(value);
        TSimpleXMLProp& prop = elem.Properties().Add(std::string(start, nameEnd), std::move(value));
        if (prefixStart) prop.prefix_.assign(prefixStart, prefixEnd);
        if (events_ && doc_ && doc_->OnValueParsed) doc_->OnValueParsed(*doc_, prop.name_, prop.value_);
    }
}

void TXmlParser::ParseElement(TSimpleXMLElem& elem, int depth) {
    if (depth > kSXMaxDepth) Fail(kSXTooDeep, {std::to_string(kSXMaxDepth)});
    if (p_ == end_) return;
    if (*p_ != '<') Fail(kSXTagStart, {Ch(*p_)});
    ++p_;
    std::string& name = elem.name_;
    const char* seg = p_;
    for (;; ++p_) {
        if (p_ == end_) {
            name.append(seg, p_);  // cut short: the element ends with what it has
            return;
        }
        char c = *p_;
        if (c == ':') {
            name.append(seg, p_);
            elem.prefix_ = std::move(name);
            name.clear();
            seg = p_ + 1;
        } else if (IsBlank(c)) {
            name.append(seg, p_);
            if (name.empty()) Fail(kSXNoName);
            ParseProps(elem);
            seg = p_;
            if (p_ == end_) return;
            --p_;  // the loop's step lands on the character that stopped the attributes
        } else if (c == '/') {
            name.append(seg, p_);
            if (++p_ == end_) return;
            if (*p_ != '>') Fail(kSXTagEnd, {Ch(*p_)});
            ++p_;
            if (events_ && doc_ && doc_->OnTagParsed) doc_->OnTagParsed(*doc_, name);
            return;
        } else if (c == '>') {
            name.append(seg, p_);
            ++p_;
            break;
        }
    }
    if (events_ && doc_ && doc_->OnTagParsed) doc_->OnTagParsed(*doc_, name);
    std::string endName = ParseChildren(elem, depth);
    std::string_view local = LocalName(endName);
    if (local != name) Fail(kSXEndTag, {name, std::string(local)});
    if (events_ && doc_ && doc_->OnValueParsed) doc_->OnValueParsed(*doc_, name, elem.value_);
}

// Reads children up to the end tag and returns the end tag's name ("" when the data ends
// first). Leading text becomes the element's own value instead of a child.
std::string TXmlParser::ParseChildren(TSimpleXMLElem& elem, int depth) {
    bool valueTaken = false;
    for (;;) {
        SkipBlanks();
        if (p_ == end_) return {};
        if (*p_ != '<') {
            if (!valueTaken && !elem.HasItems()) {
                ReadText(elem.value_);
            } else {
                auto text = std::make_unique<TSimpleXMLElemText>(&elem);
                ReadText(text->value_);
                Append(elem.Items(), std::move(text));
            }
            valueTaken = true;
            continue;
        }
        const char* start = p_;
        if (start + 1 < end_ && start[1] == '/') {
            const char* close = static_cast<const char*>(
                std::memchr(start + 2, '>', static_cast<size_t>(end_ - start - 2)));
            if (!close) {
                p_ = end_;
                return {};
            }
            p_ = close + 1;
            return std::string(start + 2, close);
        }
        std::unique_ptr<TSimpleXMLElem> child;
        int kind = 0;  // 1 element, 2 CDATA, 3 comment
        for (const char* q = start + 1; q < end_ && kind == 0; ++q) {
            char c = *q;
            size_t len = static_cast<size_t>(q + 1 - start);
            if (c == ' ' || c == '>' || c == ':' || c == '/') kind = 1;
            else if (len == 9 && std::memcmp(start, "<![CDATA[", 9) == 0) kind = 2;
            else if (len == 4 && std::memcmp(start, "<!--", 4) == 0) kind = 3;
        }
        if (kind == 0) {
            p_ = end_;
            return {};
        }
        valueTaken = true;
        if (kind == 1) {
            TSimpleXMLElem& added = Append(elem.Items(), std::make_unique<TSimpleXMLElemClassic>(&elem));
            bool events = events_;
            events_ = false;  // only the root's own parse reports events
            ParseElement(added, depth + 1);
            events_ = events;
        } else if (kind == 2) {
            ParseCData(Append(elem.Items(), std::make_unique<TSimpleXMLElemCData>(&elem)));
        } else {
            ParseComment(Append(elem.Items(), std::make_unique<TSimpleXMLElemComment>(&elem)));
        }
    }
}

}  // namespace quillan::xml_detail
