// A small non-validating XML reader (and writer) that turns bytes into a tree of
// elements. Bytes are taken as they stand (the template file is Windows-1251);
// the declared encoding is not acted upon. Malformed input raises ESimpleXMLError.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "components/xml/xml_pool.h"
#include "framework/core/exceptions.h"
#include "framework/core/streams.h"

namespace quillan {

// A parse error; a document load also tells where it stopped: Line and Column
// (both from 1; 0 when not known), a line ending at LF, CR LF or a lone CR, a
// column counted in bytes, which are characters in a single-byte code page.
class ESimpleXMLError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "ESimpleXMLError"; }
    std::vector<std::string> ClassNames() const override {
        std::vector<std::string> names;
        AppendClassNames(names);
        return names;
    }
    static void AppendClassNames(std::vector<std::string>& out) {
        out.push_back("ESimpleXMLError");
        Exception::AppendClassNames(out);
    }
    int Line = 0;
    int Column = 0;
    // Sets Line and Column of the byte at offset of data (offset is clamped to size).
    void SetPlace(const char* data, size_t size, size_t offset);
};

// Parse error texts; "%s" receives the found character (or, for the end tag, the names).
inline constexpr const char* kSXInvalidDocument = "Invalid Document: Unexpected text in file prolog";
inline constexpr const char* kSXInvalidHeader = "Invalid Header: expected \"%s\" but found \"%s\"";
inline constexpr const char* kSXInvalidStylesheet = "Invalid Stylesheet: expected \"%s\" but found \"%s\"";
inline constexpr const char* kSXStylesheetEnd = "Invalid Stylesheet: Unexpected end of data";
inline constexpr const char* kSXInvalidComment = "Invalid Comment: expected \"%s\" but found \"%s\"";
inline constexpr const char* kSXDoubleHyphen = "Invalid Comment: \"--\" not allowed inside comments";
inline constexpr const char* kSXCommentEnd = "Invalid Comment: Unexpected end of data";
inline constexpr const char* kSXInvalidCData = "Invalid CDATA: expected \"%s\" but found \"%s\"";
inline constexpr const char* kSXCDataEnd = "Invalid CDATA: Unexpected end of data";
inline constexpr const char* kSXTagStart = "Invalid XML Element: Expected beginning of tag but \"%s\" found";
inline constexpr const char* kSXTagEnd = "Invalid XML Element: Expected end of tag but \"%s\" found";
inline constexpr const char* kSXNoName = "Invalid XML Element: malformed tag found (no valid name)";
inline constexpr const char* kSXEndTag = "Invalid XML Element: Erroneous end of tag, expecting </%s> but </%s> found";
inline constexpr const char* kSXPropChar =
    "Invalid XML Element: Unexpected character in property declaration (\"%s\" found)";
inline constexpr const char* kSXPropQuote =
    "Invalid XML Element: Unexpected character in property declaration. Expecting \" or ' but \"%s\"  found";
// Guard against hostile input: parsing, freeing and writing recurse once per level, and a
// Windows thread has only 1 to 2 MB of stack.
inline constexpr int kSXMaxDepth = 1000;
inline constexpr const char* kSXTooManyNodes = "Invalid XML Document: more than %s nodes";
inline constexpr const char* kSXTooDeep = "Invalid XML Element: elements nested deeper than %s levels";

enum class TSimpleXMLOption { sxoAutoCreate, sxoAutoIndent, sxoAutoEncodeValue, sxoAutoEncodeEntity };

// A set of TSimpleXMLOption values.
class TSimpleXMLOptions {
public:
    constexpr TSimpleXMLOptions() = default;
    constexpr TSimpleXMLOptions(std::initializer_list<TSimpleXMLOption> options) {
        for (TSimpleXMLOption o : options) bits_ |= Bit(o);
    }
    constexpr bool Contains(TSimpleXMLOption o) const { return (bits_ & Bit(o)) != 0; }
    constexpr void Include(TSimpleXMLOption o) { bits_ |= Bit(o); }
    constexpr void Exclude(TSimpleXMLOption o) { bits_ &= ~Bit(o); }
    constexpr bool operator==(const TSimpleXMLOptions&) const = default;

private:
    static constexpr unsigned Bit(TSimpleXMLOption o) { return 1u << static_cast<unsigned>(o); }
    unsigned bits_ = 0;
};

class TSimpleXML;
class TSimpleXMLElem;
class TSimpleXMLElemClassic;
class TSimpleXMLProps;
namespace xml_detail {
class TXmlParser;

// Lower-cased name -> first index of a long list. Held by pointer: most lists are never
// searched by name, and an empty hash map would still add 56 bytes to every one of them.
class TNameIndex {
public:
    void clear() { map_.reset(); }
    bool empty() const { return !map_ || map_->empty(); }
    void emplace(std::string key, int index) {
        if (!map_) map_ = std::make_unique<std::unordered_map<std::string, int>>();
        map_->emplace(std::move(key), index);
    }
    // -1 when absent.
    int find(const std::string& key) const {
        if (!map_) return -1;
        auto it = map_->find(key);
        return it == map_->end() ? -1 : it->second;
    }

private:
    std::unique_ptr<std::unordered_map<std::string, int>> map_;
};
}  // namespace xml_detail

// One attribute: name, value, namespace prefix; owned by its TSimpleXMLProps.
class TSimpleXMLProp {
public:
    QUILLAN_XML_POOLED
    TSimpleXMLProp(TSimpleXMLProps* parent, std::string name, std::string value)
        : parent_(parent), name_(std::move(name)), value_(std::move(value)) {}

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    const std::string& Prefix() const { return prefix_; }
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }
    const std::string& Value() const { return value_; }
    void SetValue(std::string value) { value_ = std::move(value); }
    // The value as a 64-bit conversion cut to 32 bits; -1 when not a number.
    int32_t IntValue() const;
    TSimpleXMLProps* Parent() const { return parent_; }

private:
    friend class TSimpleXMLProps;
    friend class xml_detail::TXmlParser;
    TSimpleXMLProps* parent_;
    std::string name_;
    std::string value_;
    std::string prefix_;
};

// Ordered attribute list with a case-insensitive name lookup; owns its entries.
class TSimpleXMLProps {
public:
    QUILLAN_XML_POOLED
    explicit TSimpleXMLProps(TSimpleXMLElem* parent) : parent_(parent) {}
    virtual ~TSimpleXMLProps() = default;
    TSimpleXMLProps(const TSimpleXMLProps&) = delete;
    TSimpleXMLProps& operator=(const TSimpleXMLProps&) = delete;

    virtual void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    // nullptr for an index outside 0..Count()-1.
    TSimpleXMLProp* Item(int index) const;
    // First attribute of that name (ASCII case-insensitive); when absent and the document has
    // sxoAutoCreate, a new one with defaultValue is added; else nullptr.
    TSimpleXMLProp* ItemNamed(std::string_view name, std::string_view defaultValue = {});
    std::string Value(std::string_view name, std::string_view defaultValue = {});
    int32_t IntValue(std::string_view name, int32_t defaultValue = -1);
    TSimpleXMLProp& Add(std::string name, std::string value);
    void Delete(int index);
    void Delete(std::string_view name);
    TSimpleXMLElem* Parent() const { return parent_; }
    void InvalidateIndex() { index_.clear(); }

private:
    friend class xml_detail::TXmlParser;
    int IndexOf(std::string_view name);
    TSimpleXMLElem* parent_;
    std::vector<std::unique_ptr<TSimpleXMLProp>, xml_detail::TPoolAllocator<std::unique_ptr<TSimpleXMLProp>>> items_;
    xml_detail::TNameIndex index_;  // built on the first by-name lookup of a long list
};

// Ordered, name-indexed list of elements; owns them.
class TSimpleXMLElems {
public:
    QUILLAN_XML_POOLED
    explicit TSimpleXMLElems(TSimpleXMLElem* parent) : parent_(parent) {}
    virtual ~TSimpleXMLElems();
    TSimpleXMLElems(const TSimpleXMLElems&) = delete;
    TSimpleXMLElems& operator=(const TSimpleXMLElems&) = delete;

    virtual void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    // nullptr for an index outside 0..Count()-1. Inline: walks call it once per element.
    TSimpleXMLElem* Item(int index) const {
        return static_cast<size_t>(index) < items_.size() ? items_[static_cast<size_t>(index)].get() : nullptr;
    }
    // First element of that name (ASCII case-insensitive), or nullptr.
    TSimpleXMLElem* ItemNamed(std::string_view name);
    int IndexOf(const TSimpleXMLElem* elem) const;
    // Takes ownership; the element's parent becomes this list's parent element.
    TSimpleXMLElem& Add(std::unique_ptr<TSimpleXMLElem> elem);
    TSimpleXMLElemClassic& Add(std::string name, std::string value = {});
    void Delete(int index);
    // Removes the element from the list and hands it to the caller.
    std::unique_ptr<TSimpleXMLElem> Extract(int index);
    TSimpleXMLElem* Parent() const { return parent_; }
    void InvalidateIndex() { index_.clear(); }

private:
    friend class xml_detail::TXmlParser;
    friend class TSimpleXMLElem;
    void FreeItems();
    TSimpleXMLElem* parent_;
    std::vector<std::unique_ptr<TSimpleXMLElem>, xml_detail::TPoolAllocator<std::unique_ptr<TSimpleXMLElem>>> items_;
    xml_detail::TNameIndex index_;  // built on the first by-name lookup of a long list
};

// Base of every node: name, namespace prefix, value, parent, lazily created child and
// attribute lists. Freeing an element frees its subtree.
class TSimpleXMLElem {
public:
    QUILLAN_XML_POOLED
    explicit TSimpleXMLElem(TSimpleXMLElem* parent) : parent_(parent) {}
    virtual ~TSimpleXMLElem();
    TSimpleXMLElem(const TSimpleXMLElem&) = delete;
    TSimpleXMLElem& operator=(const TSimpleXMLElem&) = delete;

    const std::string& Name() const { return name_; }
    // Renaming updates the entry in the parent's list.
    void SetName(std::string name);
    const std::string& Prefix() const { return prefix_; }
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }
    const std::string& Value() const { return value_; }
    void SetValue(std::string value) { value_ = std::move(value); }
    // The value as a 64-bit conversion cut to 32 bits; -1 when not a number.
    int32_t IntValue() const;
    TSimpleXMLElem* Parent() const { return parent_; }
    // The document this element belongs to (through its parents), or nullptr.
    TSimpleXML* SimpleXML() const;

    TSimpleXMLElems& Items();
    TSimpleXMLProps& Properties();
    bool HasItems() const { return items_ && items_->Count() > 0; }
    bool HasProperties() const { return props_ && props_->Count() > 0; }

    // Empties the child and attribute lists.
    virtual void Clear();
    // Parses this kind of node from the stream's position (the node's first character) and
    // leaves the stream just after it; raises ESimpleXMLError on malformed input.
    virtual void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) = 0;
    // Writes the node at the given indent prefix, every line ending in CR LF.
    virtual void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) = 0;
    std::string SaveToString();

protected:
    friend class xml_detail::TXmlParser;
    friend class TSimpleXMLElems;
    friend class TSimpleXML;
    void WriteProps(std::string& out, TSimpleXML* document) const;

    TSimpleXMLElem* parent_;
    TSimpleXML* document_ = nullptr;  // set on the root only
    std::string name_;
    std::string prefix_;
    std::string value_;
    std::unique_ptr<TSimpleXMLElems> items_;
    std::unique_ptr<TSimpleXMLProps> props_;
};

// An ordinary element.
class TSimpleXMLElemClassic : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// A run of character data (no name).
class TSimpleXMLElemText : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// A comment; value = its text.
class TSimpleXMLElemComment : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// A CDATA section; value = its content, not decoded.
class TSimpleXMLElemCData : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// The XML declaration (or the "<?mso-application" / "<?fr-application" instructions).
class TSimpleXMLElemHeader : public TSimpleXMLElem {
public:
    explicit TSimpleXMLElemHeader(TSimpleXMLElem* parent = nullptr);
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;

    const std::string& Version() const { return version_; }
    const std::string& Encoding() const { return encoding_; }
    bool StandAlone() const { return standAlone_; }
    const std::string& ProgId() const { return progId_; }
    const std::string& Created() const { return created_; }
    const std::string& HomeSite() const { return homeSite_; }

private:
    friend class xml_detail::TXmlParser;
    std::string version_ = "1.0";
    std::string encoding_ = "iso-8859-1";
    bool standAlone_ = false;
    std::string progId_;
    std::string created_;
    std::string homeSite_;
};

// A document type declaration; value = its text after the keyword, trimmed.
class TSimpleXMLElemDocType : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// A stylesheet processing instruction; pseudo-attributes in Properties().
class TSimpleXMLElemSheet : public TSimpleXMLElem {
public:
    using TSimpleXMLElem::TSimpleXMLElem;
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr) override;
    void SaveToStream(TStream& stream, const std::string& level = {}, TSimpleXML* progress = nullptr) override;
};

// Ordered list of prolog items; owns them.
class TSimpleXMLElemsProlog {
public:
    TSimpleXMLElemsProlog() = default;
    TSimpleXMLElemsProlog(const TSimpleXMLElemsProlog&) = delete;
    TSimpleXMLElemsProlog& operator=(const TSimpleXMLElemsProlog&) = delete;

    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    // nullptr for an index outside 0..Count()-1.
    TSimpleXMLElem* Item(int index) const;
    TSimpleXMLElem& Add(std::unique_ptr<TSimpleXMLElem> elem);
    // Parses prolog items from the stream's position and leaves the stream on the "<"
    // that ends the prolog.
    void LoadFromStream(TStream& stream, TSimpleXML* document = nullptr);
    void SaveToStream(TStream& stream, TSimpleXML* document = nullptr);

private:
    std::vector<std::unique_ptr<TSimpleXMLElem>> items_;
};

// The document: owns its root element and prolog list for its whole life.
class TSimpleXML {
public:
    TSimpleXML();
    virtual ~TSimpleXML();
    TSimpleXML(const TSimpleXML&) = delete;
    TSimpleXML& operator=(const TSimpleXML&) = delete;

    // Stores the name, reads the whole file (EFOpenError on failure) and loads it.
    void SetFileName(const std::string& fileName);
    const std::string& FileName() const { return fileName_; }

    TSimpleXMLElemClassic& Root() { return *root_; }
    TSimpleXMLElemsProlog& Prolog() { return prolog_; }

    // Replace the tree with the parsed bytes; ESimpleXMLError on malformed input, leaving
    // what was parsed up to the error in the tree.
    void LoadFromString(const std::string& bytes);
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    std::string SaveToString();

    // At most this many nodes (elements, texts, comments, CDATA, attributes) per load;
    // 0: no limit. Beyond it the load raises ESimpleXMLError, so that hostile input
    // cannot take all the memory of the process.
    size_t MaxNodes = 0;
    // Frees the whole tree and the prolog, and gives the parser's memory back to the
    // system when no other document in the process holds a tree.
    void Release();

    TSimpleXMLOptions Options() const { return options_; }
    void SetOptions(TSimpleXMLOptions options) { options_ = options; }
    const std::string& IndentString() const { return indentString_; }
    // Accepted only when made of blanks and TABs; anything else is ignored.
    void SetIndentString(const std::string& indent);

    // Value encoding/decoding for the writer and the parser (hook, full or entity codec).
    virtual void EncodeValue(std::string& value);
    virtual void DecodeValue(std::string& value);

    // Event hooks; all unset by default.
    std::function<void(TSimpleXML& sender, int64_t position, int64_t total)> OnLoadProgress;
    std::function<void(TSimpleXML& sender, int64_t position, int64_t total)> OnSaveProgress;
    std::function<void(TSimpleXML& sender, const std::string& name)> OnTagParsed;
    // Each element and comment below the root, once parsed whole: the node, the parsed
    // bytes and the node's range in them (from its "<" to just after its end). For a
    // reader that keeps the source of nodes it does not know; unset by default.
    std::function<void(TSimpleXMLElem& node, std::string_view source, size_t begin, size_t end)> OnNodeSource;
    std::function<void(TSimpleXML& sender, const std::string& name, const std::string& value)> OnValueParsed;
    std::function<void(TSimpleXML& sender, std::string& value)> OnEncodeValue;
    std::function<void(TSimpleXML& sender, std::string& value)> OnDecodeValue;
    std::function<void(TSimpleXML& sender, TStream& source, TStream& target)> OnEncodeStream;
    std::function<void(TSimpleXML& sender, TStream& source, TStream& target)> OnDecodeStream;

private:
    void LoadFromBuffer(const char* data, size_t size, size_t* consumed);

    std::string fileName_;
    TSimpleXMLOptions options_{TSimpleXMLOption::sxoAutoIndent, TSimpleXMLOption::sxoAutoEncodeValue,
                               TSimpleXMLOption::sxoAutoEncodeEntity};
    std::string indentString_ = "  ";
    // The root lives on the heap, not in the pool, so that an empty document holds
    // nothing of the pool and does not keep it from giving its memory back.
    struct TRootDelete {
        void operator()(TSimpleXMLElemClassic* root) const;
    };
    std::unique_ptr<TSimpleXMLElemClassic, TRootDelete> root_;
    TSimpleXMLElemsProlog prolog_;
};

// The codecs behind EncodeValue/DecodeValue, usable on their own.
// Full decoding: numeric references (low 8 bits, > 0, ";" required) and the five entities.
void SimpleXMLDecodeFull(std::string& value);
// Only the five entities, without regard to case.
void SimpleXMLDecodeEntities(std::string& value);
// The five entities, and with hexBytes every byte >= 128 as "&#xHH;".
void SimpleXMLEncode(std::string& value, bool hexBytes);

}  // namespace quillan
