#include "components/xml/xml_parser.h"

#include <cstring>
#include <string_view>

#include "framework/core/convert.h"

namespace quillan::xml_detail {

namespace {

bool Is(const char* start, const char* stop, std::string_view text) {
    return std::string_view(start, static_cast<size_t>(stop - start)) == text;
}

}  // namespace

void TXmlParser::SkipBlanks() {
    while (p_ < end_ && IsBlank(*p_)) ++p_;
}

void TXmlParser::Decode(std::string& value) {
    if (doc_) doc_->DecodeValue(value);
}

void TXmlParser::Progress() {
    if (events_ && doc_ && doc_->OnLoadProgress)
        doc_->OnLoadProgress(*doc_, static_cast<int64_t>(Offset()), static_cast<int64_t>(end_ - begin_));
}

void TXmlParser::Match(const char* literal, const char* mismatch, const char* endOfData) {
    for (const char* l = literal; *l; ++l, ++p_) {
        if (p_ == end_) Fail(endOfData);
        if (*p_ != *l) Fail(mismatch, {Ch(*l), Ch(*p_)});
    }
}

namespace {

// Collects the characters from the "<" at start until they name a prolog item; nullptr when
// they show the root element's start (or CDATA, or run to the end of data) instead.
std::unique_ptr<TSimpleXMLElem> PrologItemAt(const char* start, const char* end) {
    for (const char* q = start + 2; q <= end; ++q) {
        size_t len = static_cast<size_t>(q - start);
        if (len == 9 && Is(start, q, "<![CDATA[")) return nullptr;
        if (len == 4 && Is(start, q, "<!--")) return std::make_unique<TSimpleXMLElemComment>(nullptr);
        if (len == 16 && Is(start, q, "<?xml-stylesheet")) return std::make_unique<TSimpleXMLElemSheet>(nullptr);
        if ((len == 6 && Is(start, q, "<?xml ")) || (len == 5 && (Is(start, q, "<?fr-") || Is(start, q, "<?mso"))))
            return std::make_unique<TSimpleXMLElemHeader>(nullptr);
        if (len == 9 && Is(start, q, "<!DOCTYPE")) return std::make_unique<TSimpleXMLElemDocType>(nullptr);
        if (start[1] != '!' && start[1] != '?') return nullptr;
        if (len >= 16) return nullptr;  // nothing longer can match: the rest is read as the root element
    }
    return nullptr;
}

}  // namespace

void TXmlParser::ParseProlog(TSimpleXMLElemsProlog& prolog) {
    for (;;) {
        SkipBlanks();
        if (p_ == end_) return;
        if (*p_ != '<') Fail(kSXInvalidDocument);
        std::unique_ptr<TSimpleXMLElem> item = PrologItemAt(p_, end_);
        if (!item) return;  // the stream stays on the "<" that ended the prolog
        TSimpleXMLElem& added = prolog.Add(std::move(item));
        if (auto* header = dynamic_cast<TSimpleXMLElemHeader*>(&added)) {
            ParseHeader(*header);
        } else if (auto* sheet = dynamic_cast<TSimpleXMLElemSheet*>(&added)) {
            ParseSheet(*sheet);
        } else if (auto* docType = dynamic_cast<TSimpleXMLElemDocType*>(&added)) {
            ParseDocType(*docType);
        } else {
            ParseComment(added);
        }
        Progress();
    }
}

void TXmlParser::ParseHeader(TSimpleXMLElemHeader& header) {
    static const char* const kNames[3] = {"<?xml", "<?mso-application", "<?fr-application"};
    for (int i = 0; i < 5; ++i, ++p_) {
        if (p_ == end_) Fail(kSXCommentEnd);
        char c = *p_;
        if (c != kNames[0][i] && c != kNames[1][i] && c != kNames[2][i])
            Fail(kSXInvalidHeader, {Ch(kNames[0][i]), Ch(c)});
    }
    int kind = 0;
    if (p_[-1] == kNames[1][4])
        kind = 1;
    else if (p_[-1] == kNames[2][4])
        kind = 2;
    // The rest of the longer instruction names is taken as it comes.
    for (size_t rest = kind ? std::strlen(kNames[kind]) - 5 : 0; rest > 0; --rest, ++p_)
        if (p_ == end_) Fail(kSXCommentEnd);
    ParseProps(header);
    TSimpleXMLProps& props = header.Properties();
    if (kind == 0) {
        header.version_ = props.Value("version");
        header.encoding_ = props.Value("encoding");
        header.standAlone_ = props.Value("standalone") == "yes";
    } else if (kind == 1) {
        header.progId_ = props.Value("progid");
    } else {
        header.created_ = props.Value("created");
        header.homeSite_ = props.Value("homesite");
    }
    props.Clear();
    Match("?>", kSXInvalidHeader, kSXCommentEnd);
}

void TXmlParser::ParseDocType(TSimpleXMLElemDocType& docType) {
    Match("<!DOCTYPE", kSXInvalidHeader, kSXCommentEnd);
    const char* start = p_;
    char closer = '>';
    for (;; ++p_) {
        if (p_ == end_) Fail(kSXCommentEnd);
        char c = *p_;
        if (c == closer) {
            if (closer == '>') break;
            closer = '>';
        } else if (c == '[' && closer == '>') {
            closer = ']';
        }
    }
    docType.value_ = Trim(std::string_view(start, static_cast<size_t>(p_ - start)));
    ++p_;
}

void TXmlParser::ParseSheet(TSimpleXMLElemSheet& sheet) {
    Match("<?xml-stylesheet", kSXInvalidStylesheet, kSXStylesheetEnd);
    ParseProps(sheet);
    Match("?>", kSXInvalidStylesheet, kSXStylesheetEnd);
}

void TXmlParser::ParseComment(TSimpleXMLElem& comment) {
    Match("<!--", kSXInvalidComment, kSXCommentEnd);
    std::string text;
    for (;;) {
        const char* dash = Find(p_, end_, '-');
        if (dash == end_) Fail(kSXCommentEnd);
        text.append(p_, dash);
        p_ = dash + 1;
        if (p_ == end_) Fail(kSXCommentEnd);
        if (*p_ != '-') {
            text += '-';  // a single hyphen is text
            continue;
        }
        if (++p_ == end_) Fail(kSXCommentEnd);
        if (*p_ == '>') break;
        // "--x>" is tolerated as a closer whose "--x" belongs to the text.
        if (p_ + 1 == end_) Fail(kSXCommentEnd);
        if (p_[1] != '>') Fail(kSXDoubleHyphen);
        text += "--";
        text += *p_;
        ++p_;
        break;
    }
    ++p_;
    comment.value_ = std::move(text);
}

void TXmlParser::ParseCData(TSimpleXMLElem& cdata) {
    Match("<![CDATA[", kSXInvalidCData, kSXCDataEnd);
    std::string_view rest(p_, static_cast<size_t>(end_ - p_));
    size_t close = rest.find("]]>");
    if (close == std::string_view::npos) Fail(kSXCDataEnd);
    cdata.value_.assign(p_, close);
    p_ += close + 3;
}

void TXmlParser::ReadText(std::string& value) {
    const char* stop = Find(p_, end_, '<');
    value.assign(p_, stop);
    p_ = stop;
    Decode(value);
}

void TXmlParser::ParseText(TSimpleXMLElem& text) { ReadText(text.value_); }

}  // namespace quillan::xml_detail
