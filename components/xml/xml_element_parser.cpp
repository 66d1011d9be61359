// Ordinary elements, their attributes and child lists.
#include <cstring>
#include <string_view>

#include "components/xml/xml_parser.h"

namespace quillan::xml_detail {

namespace {

inline bool IsPropNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Only what follows the first ":" of an end tag counts.
std::string_view LocalName(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace

// Reads one attribute from its first name character; false when the data ends inside it.
bool TXmlParser::ParseProp(TSimpleXMLElem& elem) {
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
    const char* nameEnd = p_;
    SkipBlanks();
    if (p_ == end_) return false;
    if (*p_ != '=') Fail(kSXPropChar, {Ch(*p_)});
    ++p_;
    SkipBlanks();
    if (p_ == end_) return false;
    char quote = *p_;
    if (quote != '"' && quote != '\'') Fail(kSXPropQuote, {Ch(quote)});
    const char* close = Find(p_ + 1, end_, quote);
    if (close == end_) {
        p_ = end_;
        return false;
    }
    std::string value(p_ + 1, close);
    p_ = close + 1;
    Decode(value);
    CountNode();
    TSimpleXMLProp& prop = elem.Properties().Add(std::string(start, nameEnd), std::move(value));
    if (prefixStart) prop.prefix_.assign(prefixStart, prefixEnd);
    if (events_ && doc_ && doc_->OnValueParsed) doc_->OnValueParsed(*doc_, prop.name_, prop.value_);
    return true;
}

void TXmlParser::ParseProps(TSimpleXMLElem& elem) {
    for (;;) {
        SkipBlanks();
        if (p_ == end_) return;
        char c = *p_;
        if (c == '/' || c == '>' || c == '?') return;
        if (!IsPropNameChar(c)) Fail(kSXPropChar, {Ch(c)});
        if (!ParseProp(elem)) return;
    }
}

// Reads the start tag after its "<": name, prefix and attributes. Returns true when children
// follow, false for a self-closing tag or when the data ends inside the tag.
bool TXmlParser::ParseStartTag(TSimpleXMLElem& elem) {
    std::string& name = elem.name_;
    const char* seg = p_;
    for (;; ++p_) {
        if (p_ == end_) {
            name.append(seg, p_);  // cut short: the element ends with what it has
            return false;
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
            if (p_ == end_) return false;
            --p_;  // the loop's step lands on the character that stopped the attributes
        } else if (c == '/' || c == '>') {
            name.append(seg, p_);
            ++p_;
            if (c == '>') return true;
            if (p_ == end_) return false;
            if (*p_ != '>') Fail(kSXTagEnd, {Ch(*p_)});
            ++p_;
            return false;
        }
    }
}

void TXmlParser::ParseElement(TSimpleXMLElem& elem, int depth) {
    if (depth > kSXMaxDepth) Fail(kSXTooDeep, {std::to_string(kSXMaxDepth)});
    elem.name_.clear();
    elem.prefix_.clear();
    elem.value_.clear();
    if (p_ == end_) return;
    if (*p_ != '<') Fail(kSXTagStart, {Ch(*p_)});
    ++p_;
    bool open = ParseStartTag(elem);
    if (events_ && doc_ && doc_->OnTagParsed) doc_->OnTagParsed(*doc_, elem.name_);
    if (!open) return;
    std::string_view local = LocalName(ParseChildren(elem, depth));
    if (local != elem.name_) Fail(kSXEndTag, {elem.name_, std::string(local)});
    if (events_ && doc_ && doc_->OnValueParsed) doc_->OnValueParsed(*doc_, elem.name_, elem.value_);
}

namespace {

enum class TagKind { Unknown, EndTag, Element, CData, Comment };

// Decides what the tag at start (its "<") is, the way the child list does.
TagKind ClassifyTag(const char* start, const char* end) {
    if (start + 1 < end && start[1] == '/') return TagKind::EndTag;
    for (const char* q = start + 1; q < end; ++q) {
        char c = *q;
        size_t len = static_cast<size_t>(q + 1 - start);
        if (c == ' ' || c == '>' || c == ':' || c == '/') return TagKind::Element;
        if (len == 9 && std::memcmp(start, "<![CDATA[", 9) == 0) return TagKind::CData;
        if (len == 4 && std::memcmp(start, "<!--", 4) == 0) return TagKind::Comment;
    }
    return TagKind::Unknown;
}

}  // namespace

// Reads children up to the end tag and returns the end tag's name, a view into the input
// ("" when the data ends first). Leading text becomes the element's own value, not a child.
std::string_view TXmlParser::ParseChildren(TSimpleXMLElem& elem, int depth) {
    for (bool first = true;; first = false) {
        SkipBlanks();
        if (p_ == end_) return {};
        if (*p_ != '<') {
            if (first) {
                ReadText(elem.value_);
            } else {
                CountNode();
                auto text = std::make_unique<TSimpleXMLElemText>(&elem);
                ReadText(text->value_);
                elem.Items().Add(std::move(text));
            }
            continue;
        }
        switch (ClassifyTag(p_, end_)) {
            case TagKind::Unknown:
                p_ = end_;
                return {};
            case TagKind::EndTag: {
                const char* close = p_ + 2;  // end-tag names are short: no library call
                while (close < end_ && *close != '>') ++close;
                std::string_view name;
                if (close != end_) name = std::string_view(p_ + 2, static_cast<size_t>(close - p_ - 2));
                p_ = close == end_ ? end_ : close + 1;
                return name;
            }
            case TagKind::Element:
                ParseChild(elem, depth);
                break;
            case TagKind::CData:
                CountNode();
                ParseCData(elem.Items().Add(std::make_unique<TSimpleXMLElemCData>(&elem)));
                break;
            case TagKind::Comment: {
                CountNode();
                const char* start = p_;
                TSimpleXMLElem& comment = elem.Items().Add(std::make_unique<TSimpleXMLElemComment>(&elem));
                ParseComment(comment);
                ReportSource(comment, start);
                break;
            }
        }
    }
}

void TXmlParser::CountNode() {
    if (doc_ && doc_->MaxNodes > 0 && ++nodes_ > doc_->MaxNodes)
        Fail(kSXTooManyNodes, {std::to_string(doc_->MaxNodes)});
}

void TXmlParser::ParseChild(TSimpleXMLElem& elem, int depth) {
    CountNode();
    // Appended before it is parsed, so that a failed load keeps what was read.
    TSimpleXMLElem& child = elem.Items().Add(std::make_unique<TSimpleXMLElemClassic>(&elem));
    bool events = events_;
    events_ = false;  // only the root's own parse reports events
    const char* start = p_;
    ParseElement(child, depth + 1);
    events_ = events;
    ReportSource(child, start);
}

void TXmlParser::ReportSource(TSimpleXMLElem& node, const char* start) {
    if (doc_ && doc_->OnNodeSource)
        doc_->OnNodeSource(node, std::string_view(begin_, static_cast<size_t>(end_ - begin_)),
                           static_cast<size_t>(start - begin_), static_cast<size_t>(p_ - begin_));
}

}  // namespace quillan::xml_detail
