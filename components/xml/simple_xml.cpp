#include "components/xml/simple_xml.h"

#include "components/xml/xml_parser.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan {

namespace {

// First index whose name matches without regard to ASCII case; the hashed index is built
// only for longer lists, where a linear search would cost more than building it.
template <typename Items>
int FindNamed(const Items& items, xml_detail::TNameIndex& index, std::string_view name) {
    constexpr size_t kIndexFrom = 16;
    if (items.size() < kIndexFrom) {
        for (size_t i = 0; i < items.size(); ++i)
            if (SameTextAscii(items[i]->Name(), name)) return static_cast<int>(i);
        return -1;
    }
    if (index.empty())
        for (size_t i = 0; i < items.size(); ++i) index.emplace(AsciiLowerCase(items[i]->Name()), static_cast<int>(i));
    return index.find(AsciiLowerCase(name));
}

}  // namespace

// ---- attributes ----

void TSimpleXMLProp::SetName(std::string name) {
    name_ = std::move(name);
    if (parent_) parent_->InvalidateIndex();
}

int32_t TSimpleXMLProp::IntValue() const { return StrToIntDef(value_, -1); }

void TSimpleXMLProps::Clear() {
    items_.clear();
    index_.clear();
}

TSimpleXMLProp* TSimpleXMLProps::Item(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int TSimpleXMLProps::IndexOf(std::string_view name) { return FindNamed(items_, index_, name); }

TSimpleXMLProp* TSimpleXMLProps::ItemNamed(std::string_view name, std::string_view defaultValue) {
    int i = IndexOf(name);
    if (i >= 0) return items_[static_cast<size_t>(i)].get();
    TSimpleXML* document = parent_ ? parent_->SimpleXML() : nullptr;
    if (document && document->Options().Contains(TSimpleXMLOption::sxoAutoCreate))
        return &Add(std::string(name), std::string(defaultValue));
    return nullptr;
}

std::string TSimpleXMLProps::Value(std::string_view name, std::string_view defaultValue) {
    TSimpleXMLProp* prop = ItemNamed(name, defaultValue);
    return prop ? prop->Value() : std::string(defaultValue);
}

int32_t TSimpleXMLProps::IntValue(std::string_view name, int32_t defaultValue) {
    TSimpleXMLProp* prop = ItemNamed(name, std::to_string(defaultValue));
    return prop ? StrToIntDef(prop->Value(), defaultValue) : defaultValue;
}

TSimpleXMLProp& TSimpleXMLProps::Add(std::string name, std::string value) {
    items_.push_back(std::make_unique<TSimpleXMLProp>(this, std::move(name), std::move(value)));
    if (!index_.empty()) index_.emplace(AsciiLowerCase(items_.back()->Name()), Count() - 1);
    return *items_.back();
}

void TSimpleXMLProps::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
    index_.clear();
}

void TSimpleXMLProps::Delete(std::string_view name) { Delete(IndexOf(name)); }

// ---- element lists ----

TSimpleXMLElems::~TSimpleXMLElems() { FreeItems(); }

// Last child first: the pool hands out the most recently freed block first, so freeing in
// the reverse of parse order lets the next parse of the same file get the blocks in their
// original, ascending order. Cold elements are fetched a few ahead.
void TSimpleXMLElems::FreeItems() {
    constexpr size_t kAhead = 4;
    for (size_t i = items_.size(); i-- > 0;) {
        if (i >= kAhead) __builtin_prefetch(items_[i - kAhead].get());
        items_[i].reset();
    }
    items_.clear();
}

void TSimpleXMLElems::Clear() {
    FreeItems();
    index_.clear();
}

TSimpleXMLElem* TSimpleXMLElems::ItemNamed(std::string_view name) {
    int i = FindNamed(items_, index_, name);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

int TSimpleXMLElems::IndexOf(const TSimpleXMLElem* elem) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == elem) return static_cast<int>(i);
    return -1;
}

TSimpleXMLElem& TSimpleXMLElems::Add(std::unique_ptr<TSimpleXMLElem> elem) {
    elem->parent_ = parent_;
    // Most elements hold a handful of children: one allocation instead of three.
    if (items_.capacity() == 0) items_.reserve(4);
    items_.push_back(std::move(elem));
    if (!index_.empty()) index_.emplace(AsciiLowerCase(items_.back()->Name()), Count() - 1);
    return *items_.back();
}

TSimpleXMLElemClassic& TSimpleXMLElems::Add(std::string name, std::string value) {
    auto elem = std::make_unique<TSimpleXMLElemClassic>(parent_);
    elem->name_ = std::move(name);
    elem->value_ = std::move(value);
    return static_cast<TSimpleXMLElemClassic&>(Add(std::move(elem)));
}

void TSimpleXMLElems::Delete(int index) { Extract(index); }

std::unique_ptr<TSimpleXMLElem> TSimpleXMLElems::Extract(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    std::unique_ptr<TSimpleXMLElem> elem = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    index_.clear();
    elem->parent_ = nullptr;
    return elem;
}

TSimpleXMLElem* TSimpleXMLElemsProlog::Item(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TSimpleXMLElem& TSimpleXMLElemsProlog::Add(std::unique_ptr<TSimpleXMLElem> elem) {
    items_.push_back(std::move(elem));
    return *items_.back();
}

// ---- elements ----

TSimpleXMLElem::~TSimpleXMLElem() = default;

void TSimpleXMLElem::SetName(std::string name) {
    name_ = std::move(name);
    if (parent_ && parent_->items_) parent_->items_->InvalidateIndex();
}

int32_t TSimpleXMLElem::IntValue() const { return StrToIntDef(value_, -1); }

TSimpleXML* TSimpleXMLElem::SimpleXML() const {
    const TSimpleXMLElem* elem = this;
    while (elem->parent_) elem = elem->parent_;
    return elem->document_;
}

TSimpleXMLElems& TSimpleXMLElem::Items() {
    if (!items_) items_ = std::make_unique<TSimpleXMLElems>(this);
    return *items_;
}

TSimpleXMLProps& TSimpleXMLElem::Properties() {
    if (!props_) props_ = std::make_unique<TSimpleXMLProps>(this);
    return *props_;
}

void TSimpleXMLElem::Clear() {
    if (items_) items_->Clear();
    if (props_) props_->Clear();
}

TSimpleXMLElemHeader::TSimpleXMLElemHeader(TSimpleXMLElem* parent) : TSimpleXMLElem(parent) {}

// ---- document ----

TSimpleXML::TSimpleXML() : root_(::new (::operator new(sizeof(TSimpleXMLElemClassic))) TSimpleXMLElemClassic(nullptr)) {
    root_->document_ = this;
}

void TSimpleXML::TRootDelete::operator()(TSimpleXMLElemClassic* root) const {
    root->~TSimpleXMLElemClassic();
    ::operator delete(root);
}

void TSimpleXML::Release() {
    // The lists themselves go too: an emptied list keeps its array in the pool.
    root_->items_.reset();
    root_->props_.reset();
    root_->name_.clear();
    root_->prefix_.clear();
    root_->value_.clear();
    prolog_.Clear();
    xml_detail::PoolRelease();
}

TSimpleXML::~TSimpleXML() = default;

void TSimpleXML::SetFileName(const std::string& fileName) {
    fileName_ = fileName;
    LoadFromString(ReadFileBytes(fileName));
}

void TSimpleXML::SetIndentString(const std::string& indent) {
    for (char c : indent)
        if (c != ' ' && c != '\t') return;
    indentString_ = indent;
}

void ESimpleXMLError::SetPlace(const char* data, size_t size, size_t offset) {
    if (offset > size) offset = size;
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i) {
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= size || data[i + 1] != '\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    Line = line;
    Column = static_cast<int>(offset - lineStart) + 1;
}

void TSimpleXML::LoadFromBuffer(const char* data, size_t size, size_t* consumed) {
    root_->Clear();
    // A reload must not keep the name or value of the previous root.
    root_->name_.clear();
    root_->prefix_.clear();
    root_->value_.clear();
    prolog_.Clear();
    bool events = OnLoadProgress || OnTagParsed || OnValueParsed;
    xml_detail::TXmlParser parser(data, data + size, this, events);
    if (events && OnLoadProgress) OnLoadProgress(*this, 0, static_cast<int64_t>(size));
    try {
        parser.ParseProlog(prolog_);
        parser.ParseElement(*root_, 1);
    } catch (ESimpleXMLError& e) {
        e.SetPlace(data, size, parser.Offset());
        throw;
    }
    if (events && OnLoadProgress)
        OnLoadProgress(*this, static_cast<int64_t>(parser.Offset()), static_cast<int64_t>(size));
    if (consumed) *consumed = parser.Offset();
}

void TSimpleXML::LoadFromString(const std::string& bytes) {
    if (OnDecodeStream) {
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        LoadFromStream(stream);
        return;
    }
    LoadFromBuffer(bytes.data(), bytes.size(), nullptr);
}

void TSimpleXML::LoadFromStream(TStream& stream) {
    if (OnDecodeStream) {
        TMemoryStream decoded;
        OnDecodeStream(*this, stream, decoded);
        std::string bytes = decoded.ToString();
        LoadFromBuffer(bytes.data(), bytes.size(), nullptr);
        return;
    }
    int64_t start = stream.Position();
    std::string bytes = xml_detail::ReadRest(stream);
    size_t consumed = 0;
    LoadFromBuffer(bytes.data(), bytes.size(), &consumed);
    stream.SetPosition(start + static_cast<int64_t>(consumed));
}

void TSimpleXML::EncodeValue(std::string& value) {
    if (OnEncodeValue)
        OnEncodeValue(*this, value);
    else if (options_.Contains(TSimpleXMLOption::sxoAutoEncodeValue))
        SimpleXMLEncode(value, true);
    else if (options_.Contains(TSimpleXMLOption::sxoAutoEncodeEntity))
        SimpleXMLEncode(value, false);
}

void TSimpleXML::DecodeValue(std::string& value) {
    if (OnDecodeValue)
        OnDecodeValue(*this, value);
    else if (options_.Contains(TSimpleXMLOption::sxoAutoEncodeValue))
        SimpleXMLDecodeFull(value);
    else if (options_.Contains(TSimpleXMLOption::sxoAutoEncodeEntity))
        SimpleXMLDecodeEntities(value);
}

}  // namespace quillan
