// Stream entry points of the element classes, the writer and the value codecs.
#include <cstring>

#include "components/xml/simple_xml.h"
#include "components/xml/xml_parser.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan {

namespace xml_detail {

std::string ReadRest(TStream& stream) {
    std::string bytes;
    char block[8192];
    for (size_t got; (got = stream.Read(block, sizeof block)) > 0;) bytes.append(block, got);
    return bytes;
}

}  // namespace xml_detail

namespace {

constexpr const char* kCrLf = "\r\n";

// Runs parse over the rest of the stream and leaves the stream just after what it consumed.
template <typename Parse>
void LoadNode(TStream& stream, TSimpleXML* document, TSimpleXML* decoder, Parse parse) {
    int64_t start = stream.Position();
    std::string bytes = xml_detail::ReadRest(stream);
    xml_detail::TXmlParser parser(bytes.data(), bytes.data() + bytes.size(), decoder, document != nullptr);
    parse(parser);
    stream.SetPosition(start + static_cast<int64_t>(parser.Offset()));
}

TSimpleXML* DocumentOf(const TSimpleXMLElem& elem, TSimpleXML* given) { return given ? given : elem.SimpleXML(); }

// Encodes with the document's codec; a free-standing node uses the default options' one.
std::string Encoded(const std::string& value, TSimpleXML* document) {
    std::string out = value;
    if (document)
        document->EncodeValue(out);
    else
        SimpleXMLEncode(out, true);
    return out;
}

std::string QualifiedName(const std::string& prefix, const std::string& name) {
    return prefix.empty() ? name : prefix + ":" + name;
}

void Write(TStream& stream, const std::string& text) { stream.WriteBuffer(text.data(), text.size()); }

}  // namespace

// ---- loading single nodes ----

void TSimpleXMLElemClassic::LoadFromStream(TStream& stream, TSimpleXML* document) {
    Clear();
    LoadNode(stream, document, DocumentOf(*this, document),
             [this](xml_detail::TXmlParser& p) { p.ParseElement(*this, 1); });
}

void TSimpleXMLElemText::LoadFromStream(TStream& stream, TSimpleXML* document) {
    LoadNode(stream, document, DocumentOf(*this, document), [this](xml_detail::TXmlParser& p) { p.ParseText(*this); });
}

void TSimpleXMLElemComment::LoadFromStream(TStream& stream, TSimpleXML* document) {
    LoadNode(stream, document, DocumentOf(*this, document),
             [this](xml_detail::TXmlParser& p) { p.ParseComment(*this); });
}

void TSimpleXMLElemCData::LoadFromStream(TStream& stream, TSimpleXML* document) {
    LoadNode(stream, document, DocumentOf(*this, document), [this](xml_detail::TXmlParser& p) { p.ParseCData(*this); });
}

void TSimpleXMLElemHeader::LoadFromStream(TStream& stream, TSimpleXML* document) {
    LoadNode(stream, document, DocumentOf(*this, document),
             [this](xml_detail::TXmlParser& p) { p.ParseHeader(*this); });
}

void TSimpleXMLElemDocType::LoadFromStream(TStream& stream, TSimpleXML* document) {
    LoadNode(stream, document, DocumentOf(*this, document),
             [this](xml_detail::TXmlParser& p) { p.ParseDocType(*this); });
}

void TSimpleXMLElemSheet::LoadFromStream(TStream& stream, TSimpleXML* document) {
    Clear();
    LoadNode(stream, document, DocumentOf(*this, document), [this](xml_detail::TXmlParser& p) { p.ParseSheet(*this); });
}

void TSimpleXMLElemsProlog::LoadFromStream(TStream& stream, TSimpleXML* document) {
    Clear();
    LoadNode(stream, document, document, [this](xml_detail::TXmlParser& p) { p.ParseProlog(*this); });
}

// ---- writing ----

void TSimpleXMLElem::WriteProps(std::string& out, TSimpleXML* document) const {
    if (!props_) return;
    for (int i = 0; i < props_->Count(); ++i) {
        const TSimpleXMLProp& prop = *props_->Item(i);
        out += ' ';
        out += QualifiedName(prop.Prefix(), prop.Name());
        out += "=\"";
        out += Encoded(prop.Value(), document);
        out += '"';
    }
}

std::string TSimpleXMLElem::SaveToString() {
    TMemoryStream stream;
    SaveToStream(stream);
    return stream.ToString();
}

void TSimpleXMLElemClassic::SaveToStream(TStream& stream, const std::string& level, TSimpleXML* progress) {
    TSimpleXML* document = DocumentOf(*this, progress);
    // Names are written as they stand: an encoded start tag would no longer match its end tag.
    const std::string name = QualifiedName(prefix_, name_);
    std::string out = level;
    out += '<';
    out += name;
    WriteProps(out, document);
    std::string close = "</";
    close += name;
    close += '>';
    close += kCrLf;
    if (HasItems()) {
        out += '>';
        out += kCrLf;
        Write(stream, out);
        std::string inner = level;
        if (!document || document->Options().Contains(TSimpleXMLOption::sxoAutoIndent))
            inner += document ? document->IndentString() : std::string("  ");
        for (int i = 0; i < items_->Count(); ++i) items_->Item(i)->SaveToStream(stream, inner, progress);
        Write(stream, level + close);
        return;
    }
    if (value_.empty()) {
        out += "/>";
        out += kCrLf;
    } else {
        out += '>';
        out += Encoded(value_, document);
        out += close;
    }
    Write(stream, out);
}

void TSimpleXMLElemText::SaveToStream(TStream& stream, const std::string& level, TSimpleXML* progress) {
    Write(stream, level + Encoded(value_, DocumentOf(*this, progress)) + kCrLf);
}

void TSimpleXMLElemComment::SaveToStream(TStream& stream, const std::string& level, TSimpleXML*) {
    Write(stream, level + "<!--" + value_ + "-->" + kCrLf);
}

void TSimpleXMLElemCData::SaveToStream(TStream& stream, const std::string& level, TSimpleXML*) {
    Write(stream, level + "<![CDATA[" + value_ + "]]>" + kCrLf);
}

void TSimpleXMLElemHeader::SaveToStream(TStream& stream, const std::string& level, TSimpleXML*) {
    std::string out = level + "<?xml version=\"" + version_ + "\"";
    if (!encoding_.empty()) out += " encoding=\"" + encoding_ + "\"";
    if (standAlone_) out += " standalone=\"yes\"";
    Write(stream, out + "?>" + kCrLf);
}

void TSimpleXMLElemDocType::SaveToStream(TStream& stream, const std::string&, TSimpleXML*) {
    Write(stream, "<!DOCTYPE " + value_ + ">" + kCrLf);
}

void TSimpleXMLElemSheet::SaveToStream(TStream& stream, const std::string& level, TSimpleXML* progress) {
    std::string out = level + "<?xml-stylesheet";
    WriteProps(out, DocumentOf(*this, progress));
    Write(stream, out + "?>" + kCrLf);
}

void TSimpleXMLElemsProlog::SaveToStream(TStream& stream, TSimpleXML* document) {
    for (auto& item : items_) item->SaveToStream(stream, {}, document);
}

void TSimpleXML::SaveToStream(TStream& stream) {
    if (OnEncodeStream) {
        TMemoryStream plain;
        prolog_.SaveToStream(plain, this);
        root_->SaveToStream(plain, {}, this);
        plain.SetPosition(0);
        OnEncodeStream(*this, plain, stream);
    } else {
        prolog_.SaveToStream(stream, this);
        root_->SaveToStream(stream, {}, this);
    }
    if (OnSaveProgress) OnSaveProgress(*this, stream.Position(), stream.Position());
}

std::string TSimpleXML::SaveToString() {
    TMemoryStream stream;
    SaveToStream(stream);
    return stream.ToString();
}

// ---- value codecs ----

namespace {

// Length of the numeric reference at ref ("&#..." or "&#x...;"), 0 when it is to be kept.
size_t NumericRef(const char* ref, const char* end, char& out) {
    const char* p = ref + 2;
    bool hex = p < end && (*p == 'x' || *p == 'X');
    if (hex) ++p;
    const char* digits = p;
    uint32_t code = 0;  // wraps, but keeps the low 8 bits exact
    bool positive = false;
    for (; p < end; ++p) {
        unsigned d;
        char c = *p;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        code = code * (hex ? 16u : 10u) + d;
        positive = positive || d != 0;
    }
    if (p == digits || p == end || *p != ';' || !positive) return 0;
    out = static_cast<char>(code & 0xFF);
    return static_cast<size_t>(p + 1 - ref);
}

inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "&#xHH;", the writer's form of every byte >= 128: most of a Cyrillic file's references.
// False for anything else, which NumericRef then handles (zero included).
inline bool HexByteRef(const char* ref, const char* end, char& out) {
    if (end - ref < 6 || ref[2] != 'x' || ref[5] != ';') return false;
    int high = HexDigit(ref[3]), low = HexDigit(ref[4]);
    if (high < 0 || low < 0 || (high | low) == 0) return false;
    out = static_cast<char>(high * 16 + low);
    return true;
}

bool SameAsciiPrefix(const char* p, const char* end, const char* word) {
    for (; *word; ++word, ++p) {
        if (p == end) return false;
        if (AsciiLower(*p) != *word) return false;
    }
    return true;
}

size_t EntityRef(const char* ref, const char* end, char& out) {
    struct Entity {
        const char* word;  // after the "&", lower case
        size_t length;     // of the whole reference
        char ch;
    };
    static const Entity kAmp{"amp;", 5, '&'}, kApos{"apos;", 6, '\''}, kLt{"lt;", 4, '<'}, kGt{"gt;", 4, '>'},
        kQuot{"quot;", 6, '"'};
    if (ref + 1 == end) return 0;
    const Entity* candidates[2] = {nullptr, nullptr};
    switch (ref[1] | 0x20) {
        case 'a':
            candidates[0] = &kAmp, candidates[1] = &kApos;
            break;
        case 'l':
            candidates[0] = &kLt;
            break;
        case 'g':
            candidates[0] = &kGt;
            break;
        case 'q':
            candidates[0] = &kQuot;
            break;
        default:
            return 0;
    }
    for (const Entity* e : candidates) {
        if (e && SameAsciiPrefix(ref + 1, end, e->word)) {
            out = e->ch;
            return e->length;
        }
    }
    return 0;
}

// The writer's lower-case spelling of the five entities, matched without the case-blind
// loop; 0 for anything else (EntityRef then decides).
inline size_t ExactEntityRef(const char* ref, const char* end, char& out) {
    size_t room = static_cast<size_t>(end - ref);
    if (room >= 4 && ref[3] == ';' && ref[2] == 't' && (ref[1] == 'l' || ref[1] == 'g')) {
        out = ref[1] == 'l' ? '<' : '>';
        return 4;
    }
    struct Entity {
        const char* text;
        size_t length;
        char ch;
    };
    static constexpr Entity kLonger[3] = {{"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
    for (const Entity& e : kLonger) {
        if (room >= e.length && std::memcmp(ref, e.text, e.length) == 0) {
            out = e.ch;
            return e.length;
        }
    }
    return 0;
}

// Left-to-right decoding in place: the result is never longer than the source.
void Decode(std::string& value, bool numeric) {
    size_t first = value.find('&');
    if (first == std::string::npos) return;
    char* s = value.data();
    const char* end = s + value.size();
    char* w = s + first;
    for (const char* r = w; r < end;) {
        if (*r != '&') {
            *w++ = *r++;
            continue;
        }
        char out = '&';
        size_t len = 0;
        if (numeric && r + 1 < end && r[1] == '#')
            len = HexByteRef(r, end, out) ? 6 : NumericRef(r, end, out);
        else if ((len = ExactEntityRef(r, end, out)) == 0)
            len = EntityRef(r, end, out);
        *w++ = out;
        r += len ? len : 1;
    }
    value.resize(static_cast<size_t>(w - s));
}

}  // namespace

void SimpleXMLDecodeFull(std::string& value) { Decode(value, true); }
void SimpleXMLDecodeEntities(std::string& value) { Decode(value, false); }

void SimpleXMLEncode(std::string& value, bool hexBytes) {
    size_t i = 0;
    for (; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || (hexBytes && c >= 128)) break;
    }
    if (i == value.size()) return;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out(value, 0, i);
    for (; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (hexBytes && c >= 128) {
                    out += "&#x";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                    out += ';';
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    value = std::move(out);
}

}  // namespace quillan
