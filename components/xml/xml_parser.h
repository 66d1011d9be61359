// The parser behind TSimpleXML: walks an in-memory byte range with one cursor and
// builds the tree. Internal to the XML component.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "components/xml/simple_xml.h"

namespace quillan::xml_detail {

// The bytes from the stream's position to its end.
std::string ReadRest(TStream& stream);

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

[[noreturn]] inline void Fail(const char* pattern, std::vector<std::string> args = {}) {
    throw ESimpleXMLError(Format(pattern, args));
}

inline std::string Ch(char c) { return std::string(1, c); }

// The first c in [from, end), or end.
inline const char* Find(const char* from, const char* end, char c) {
    const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
}

class TXmlParser {
public:
    // document (may be null) decodes values and receives the events when events is true.
    TXmlParser(const char* begin, const char* end, TSimpleXML* document, bool events)
        : begin_(begin), p_(begin), end_(end), doc_(document), events_(events) {}

    // Bytes consumed so far.
    size_t Offset() const { return static_cast<size_t>(p_ - begin_); }

    // Appends prolog items; stops on the "<" that ends the prolog (or at the end of data).
    void ParseProlog(TSimpleXMLElemsProlog& prolog);
    // Each parses one node starting at its first character; ESimpleXMLError on bad input.
    void ParseHeader(TSimpleXMLElemHeader& header);
    void ParseDocType(TSimpleXMLElemDocType& docType);
    void ParseSheet(TSimpleXMLElemSheet& sheet);
    void ParseComment(TSimpleXMLElem& comment);
    void ParseCData(TSimpleXMLElem& cdata);
    void ParseText(TSimpleXMLElem& text);
    // An ordinary element with its subtree; depth counts from 1 for the outermost.
    void ParseElement(TSimpleXMLElem& elem, int depth);

private:
    bool ParseStartTag(TSimpleXMLElem& elem);
    std::string_view ParseChildren(TSimpleXMLElem& elem, int depth);
    void ParseChild(TSimpleXMLElem& elem, int depth);
    void ParseProps(TSimpleXMLElem& elem);
    bool ParseProp(TSimpleXMLElem& elem);
    void Match(const char* literal, const char* mismatch, const char* endOfData);
    void ReadText(std::string& value);
    void Decode(std::string& value);
    void SkipBlanks();
    // One more element, text, comment, CDATA or attribute; raises past the document's MaxNodes.
    void CountNode();
    // Hands the node's source range (start .. the cursor) to the document's OnNodeSource.
    void ReportSource(TSimpleXMLElem& node, const char* start);
    void Progress();

    const char* begin_;
    const char* p_;
    const char* end_;
    TSimpleXML* doc_;
    bool events_;
    size_t nodes_ = 0;
};

}  // namespace quillan::xml_detail
