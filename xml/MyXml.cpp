#include "xml/MyXml.h"

#include <new>

#include "datasource/MyPath.h"
#include "xml/XmlVariant.h"

namespace {

// The MSXML 6 document class; the mingw headers do not declare it.
const CLSID kClsidDomDocument60 = {0x88D96A05, 0xF192, 0x11D4, {0xA6, 0x5F, 0x00, 0x40, 0x96, 0x32, 0x51, 0xE5}};
// Not every import library of the toolchain carries these.
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Every DOM call goes through here: a failure code becomes fx::ComError.
inline HRESULT Check(HRESULT hr)
{
    return fx::ThrowIfFailed(hr);
}

template <typename T>
T* Need(const fx::ComPtr<T>& p)
{
    return fx::ThrowIfNull(p.get());
}

std::wstring TakeBstr(const fx::UniqueBstr& b)
{
    return b ? std::wstring(b.get(), ::SysStringLen(b.get())) : std::wstring();
}

// Runs an operation that "catches COM errors": the carried code is returned.
template <typename F>
HRESULT CatchComErrors(F&& op)
{
    try {
        return op();
    } catch (const fx::ComError& e) {
        return e.Code();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::wstring NodeName(IXMLDOMNode* node)
{
    fx::UniqueBstr name;
    Check(fx::ThrowIfNull(node)->get_nodeName(name.put()));
    return TakeBstr(name);
}

// The attribute's value; false when the node has no such attribute.
bool FindAttribute(IXMLDOMNode* node, const std::wstring& name, std::wstring& value)
{
    fx::ComPtr<IXMLDOMNamedNodeMap> map;
    Check(fx::ThrowIfNull(node)->get_attributes(map.put()));
    fx::ComPtr<IXMLDOMNode> attribute;
    Check(Need(map)->getNamedItem(fx::MakeBstr(name).get(), attribute.put()));
    if (!attribute) return false;
    XmlVariant v;
    Check(attribute->get_nodeValue(v.put()));
    value = v.ToString();
    return true;
}

// The first direct child of that node name, or empty.
fx::ComPtr<IXMLDOMNode> FindChild(IXMLDOMNode* parent, const std::wstring& name)
{
    fx::ComPtr<IXMLDOMNode> child;
    Check(fx::ThrowIfNull(parent)->get_firstChild(child.put()));
    while (child) {
        if (NodeName(child.get()) == name) return child;
        fx::ComPtr<IXMLDOMNode> next;
        Check(child->get_nextSibling(next.put()));
        child = std::move(next);
    }
    return child;
}

// Both values as typed values: strings are equal when their bytes are.
bool SameValue(const XmlVariant& a, const XmlVariant& b)
{
    if (V_VT(&a.get()) != V_VT(&b.get())) return false;
    if (V_VT(&a.get()) != VT_BSTR) return a.IsNull() && b.IsNull();
    const BSTR x = V_BSTR(&a.get());
    const BSTR y = V_BSTR(&b.get());
    const UINT n = ::SysStringByteLen(x);
    return n == ::SysStringByteLen(y) && (n == 0 || memcmp(x, y, n) == 0);
}

// The pseudo-attributes of a declaration's data ("version", "encoding",
// "standalone"), names as written and values in lower case; empty when the
// data does not read as such.
std::vector<std::pair<std::wstring, std::wstring>> DeclarationFields(const std::wstring& data)
{
    std::vector<std::pair<std::wstring, std::wstring>> fields;
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < data.size() && (data[i] == L' ' || data[i] == L'\t' || data[i] == L'\r' || data[i] == L'\n')) ++i;
    };
    for (;;) {
        skipBlanks();
        if (i == data.size()) return fields;
        const size_t nameStart = i;
        while (i < data.size() && data[i] != L'=' && data[i] != L' ') ++i;
        std::wstring name = data.substr(nameStart, i - nameStart);
        skipBlanks();
        if (i == data.size() || data[i] != L'=') return {};
        ++i;
        skipBlanks();
        if (i == data.size() || (data[i] != L'\'' && data[i] != L'"')) return {};
        const wchar_t quote = data[i++];
        const size_t end = data.find(quote, i);
        if (end == std::wstring::npos || name.empty()) return {};
        std::wstring value = data.substr(i, end - i);
        for (wchar_t& c : value) {
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        fields.emplace_back(std::move(name), std::move(value));
        i = end + 1;
    }
}

// Two declarations that say the same, however the platform wrote them: some
// DOMs keep the data of a parsed declaration in their own spelling (other
// quotes, no leading blank) while a created one keeps ours.
bool SameDeclaration(const XmlVariant& a, const XmlVariant& b)
{
    if (V_VT(&a.get()) != VT_BSTR || V_VT(&b.get()) != VT_BSTR) return false;
    const auto x = DeclarationFields(a.ToString());
    return !x.empty() && x == DeclarationFields(b.ToString());
}

// The part shared by AddChild and AddChildWithAttributes (after their own checks).
HRESULT AppendElement(IXMLDOMDocument* document, fx::ComPtr<IXMLDOMNode>& current, const std::wstring& name,
                      const wchar_t* text, const MyXmlAttributeList& attributes)
{
    const HRESULT working = E_FAIL;
    fx::ComPtr<IXMLDOMElement> element;
    Check(document->createElement(fx::MakeBstr(name).get(), element.put()));
    Need(element);
    for (long i = 0; i < attributes.GetCount(); ++i) {
        const auto& pair = attributes.GetAt(i);
        const HRESULT hr = Check(element->setAttribute(fx::MakeBstr(pair.first).get(),
                                                       XmlVariant::FromString(pair.second).get()));
        if (hr != S_OK) return hr;
    }
    if (text) Check(element->put_text(fx::MakeBstr(text).get()));
    if (!current) return E_POINTER;
    fx::ComPtr<IXMLDOMNode> appended;
    Check(current->appendChild(element.get(), appended.put()));
    current = std::move(appended);
    return current ? S_OK : working;
}

}  // namespace

HRESULT MyXmlReader::CreateDomDocument()
{
    m_document.reset();
    const HRESULT hr = ::CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_ALL, kIidXmlDomDocument,
                                          m_document.put_void());
    if (FAILED(hr)) {
        m_document.reset();
        return hr;
    }
    // The settings file is plain data: a document type declaration or an
    // external entity in it must never make the parser read other files or
    // expand entities.  Each setting is tried on its own; a platform that
    // refuses one keeps the others and the document is still used.
    m_document->put_resolveExternals(VARIANT_FALSE);
    // Texts read back exactly as they were written: without this the DOM
    // trims the blanks around an element's text (" 1" would read as "1",
    // a name's trailing blank would be lost).
    m_document->put_preserveWhiteSpace(VARIANT_TRUE);
    m_document->put_validateOnParse(VARIANT_FALSE);
    if (auto document2 = m_document.As<IXMLDOMDocument2>(kIidXmlDomDocument2)) {
        document2->setProperty(fx::MakeBstr(L"ProhibitDTD").get(), XmlVariant::FromBool(true).get());
    }
    return S_OK;
}

HRESULT MyXmlReader::LoadFile(const std::wstring& path)
{
    m_document.reset();
    const HRESULT hr = CreateDomDocument();
    if (FAILED(hr)) return hr;
    Check(m_document->put_async(VARIANT_FALSE));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Check(m_document->load(XmlVariant::FromString(path).get(), &loaded));
    return loaded == VARIANT_TRUE ? S_OK : E_INVALIDARG;
}

MyXmlNode* MyXmlReader::SelectByTagName(const std::wstring& tag)
{
    try {
        if (!m_document) return nullptr;
        fx::ComPtr<IXMLDOMNodeList> list;
        Check(m_document->getElementsByTagName(fx::MakeBstr(tag).get(), list.put()));
        Need(list);
        m_selection = std::move(list);
        m_index = 0;
        m_current.reset();
        Check(m_selection->get_item(0, m_current.put()));
        return m_current ? this : nullptr;
    } catch (...) {
        return nullptr;
    }
}

long MyXmlReader::GetCount()
{
    if (!m_selection) return 0;
    long length = 0;
    Check(m_selection->get_length(&length));
    return length;
}

MyXmlNode* MyXmlReader::MoveNext()
{
    if (!m_selection) return nullptr;
    long length = 0;
    Check(m_selection->get_length(&length));
    if (m_index >= length - 1) return nullptr;
    try {
        fx::ComPtr<IXMLDOMNode> next;
        Check(m_selection->get_item(m_index + 1, next.put()));
        if (!next) return nullptr;
        m_current = std::move(next);
        ++m_index;
        return this;
    } catch (...) {
        return nullptr;
    }
}

MyXmlNode* MyXmlReader::MoveToChildren()
{
    try {
        if (!m_selection || !m_current) return nullptr;
        fx::ComPtr<IXMLDOMNodeList> children;
        Check(m_current->get_childNodes(children.put()));
        Need(children);
        m_selection = std::move(children);
        m_index = 0;
        m_current.reset();
        Check(m_selection->get_item(0, m_current.put()));
        return this;
    } catch (...) {
        return nullptr;
    }
}

std::wstring MyXmlReader::GetName()
{
    try {
        if (!m_current) return std::wstring();
        return NodeName(m_current.get());
    } catch (...) {
        return std::wstring();
    }
}

fx::ComPtr<IXMLDOMNode> MyXmlReader::GetDomNode()
{
    return m_current;
}

HRESULT MyXmlReader::GetAttribute(std::wstring& value, const std::wstring& name)
{
    if (!m_current) return E_POINTER;
    return CatchComErrors([&]() -> HRESULT {
        std::wstring found;
        if (!FindAttribute(m_current.get(), name, found)) return E_POINTER;
        value = std::move(found);
        return S_OK;
    });
}

HRESULT MyXmlReader::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (!m_current) return E_POINTER;
    return CatchComErrors([&]() -> HRESULT {
        if (!m_document) return E_POINTER;
        fx::ComPtr<IXMLDOMAttribute> attribute;
        Check(m_document->createAttribute(fx::MakeBstr(name).get(), attribute.put()));
        Check(Need(attribute)->put_value(XmlVariant::FromString(value).get()));
        fx::ComPtr<IXMLDOMNamedNodeMap> map;
        Check(m_current->get_attributes(map.put()));
        fx::ComPtr<IXMLDOMNode> stored;
        Check(Need(map)->setNamedItem(attribute.get(), stored.put()));
        return stored ? S_OK : E_INVALIDARG;
    });
}

HRESULT MyXmlReader::GetChildText(std::wstring& value, const std::wstring& name)
{
    if (!m_current) return E_POINTER;
    return CatchComErrors([&]() -> HRESULT {
        const auto child = FindChild(m_current.get(), name);
        if (!child) return E_INVALIDARG;
        fx::UniqueBstr text;
        Check(child->get_text(text.put()));
        value = TakeBstr(text);
        return S_OK;
    });
}

HRESULT MyXmlReader::SetChildText(const std::wstring& name, const std::wstring& value, bool create)
{
    if (!m_current) return E_POINTER;
    return CatchComErrors([&]() -> HRESULT {
        const auto child = FindChild(m_current.get(), name);
        if (child) {
            Check(child->put_text(fx::MakeBstr(value).get()));
            return S_OK;
        }
        if (!create) return E_INVALIDARG;
        return AddChild(name, value.c_str(), nullptr, nullptr);
    });
}

HRESULT MyXmlReader::AddChild(const std::wstring& name, const wchar_t* text, const wchar_t* attrName,
                              const wchar_t* attrValue)
{
    return CatchComErrors([&]() -> HRESULT {
        if (!m_document) return E_INVALIDARG;
        if ((attrName == nullptr) != (attrValue == nullptr)) return E_INVALIDARG;
        MyXmlAttributeList attributes;
        if (attrName) attributes.Add(attrName, attrValue);
        return AppendElement(m_document.get(), m_current, name, text, attributes);
    });
}

HRESULT MyXmlReader::AddChildWithAttributes(const std::wstring& name, const wchar_t* text,
                                            const MyXmlAttributeList& attributes)
{
    return CatchComErrors([&]() -> HRESULT {
        if (!m_document) return E_INVALIDARG;
        return AppendElement(m_document.get(), m_current, name, text, attributes);
    });
}

namespace {

// Whether an element passes RemoveElement's filter; any failure means no.
bool PassesFilter(IXMLDOMNode* element, const wchar_t* value, const wchar_t* attrName, const wchar_t* attrValue)
{
    try {
        if (value) {
            XmlVariant v;
            Check(element->get_nodeValue(v.put()));
            if (v.IsNull() || v.ToString() != value) return false;
        }
        if (attrName) {
            std::wstring found;
            if (!FindAttribute(element, attrName, found)) return false;
            if (attrValue && found != attrValue) return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

HRESULT MyXmlReader::RemoveElement(const std::wstring& tag, const wchar_t* value, const wchar_t* attrName,
                                   const wchar_t* attrValue)
{
    return CatchComErrors([&]() -> HRESULT {
        if (!m_document) return E_FAIL;
        if ((attrName == nullptr) != (attrValue == nullptr)) return E_INVALIDARG;
        fx::ComPtr<IXMLDOMNodeList> list;
        Check(m_document->getElementsByTagName(fx::MakeBstr(tag).get(), list.put()));
        Need(list);
        for (long i = 0;; ++i) {
            fx::ComPtr<IXMLDOMNode> item;
            Check(list->get_item(i, item.put()));
            if (!item) break;
            if (!PassesFilter(item.get(), value, attrName, attrValue)) continue;
            fx::ComPtr<IXMLDOMNode> parent;
            Check(item->get_parentNode(parent.put()));
            fx::ComPtr<IXMLDOMNode> removed;
            Check(Need(parent)->removeChild(item.get(), removed.put()));
            m_current = std::move(removed);
            return S_OK;
        }
        return E_FAIL;
    });
}

bool MyXmlReader::Matches(MyXmlNode* other)
{
    try {
        if (!other || !m_current) return false;
        if (NodeName(m_current.get()) != other->GetName()) return false;
        fx::ComPtr<IXMLDOMNamedNodeMap> map;
        Check(m_current->get_attributes(map.put()));
        long count = 0;
        Check(Need(map)->get_length(&count));
        for (long i = 0; i < count; ++i) {
            fx::ComPtr<IXMLDOMNode> attribute;
            Check(map->get_item(i, attribute.put()));
            XmlVariant v;
            Check(Need(attribute)->get_nodeValue(v.put()));
            std::wstring theirs;
            if (other->GetAttribute(theirs, NodeName(attribute.get())) != S_OK) return false;
            if (theirs != v.ToString()) return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool MyXmlReader::AttributeEquals(MyXmlNode* other, const std::wstring& name)
{
    try {
        if (!other || !m_current) return false;
        std::wstring mine;
        std::wstring theirs;
        return GetAttribute(mine, name) == S_OK && other->GetAttribute(theirs, name) == S_OK && mine == theirs;
    } catch (...) {
        return false;
    }
}

HRESULT MyXmlReader::ReplaceWith(MyXmlNode* other)
{
    try {
        if (!other) return E_INVALIDARG;
        if (!m_current) return E_POINTER;
        const auto node = other->GetDomNode();
        fx::ComPtr<IXMLDOMNode> parent;
        Check(m_current->get_parentNode(parent.put()));
        fx::ComPtr<IXMLDOMNode> old;
        Check(Need(parent)->replaceChild(Need(node), m_current.get(), old.put()));
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT MyXmlReader::AppendChild(MyXmlNode* other)
{
    try {
        if (!other) return E_INVALIDARG;
        if (!m_current) return E_POINTER;
        const auto node = other->GetDomNode();
        fx::ComPtr<IXMLDOMNode> appended;
        // A refused append is not reported: the caller only learns that the
        // cursor was usable.
        m_current->appendChild(node.get(), appended.put());
        return S_OK;
    } catch (...) {
        return S_OK;
    }
}

fx::ComPtr<IXMLDOMNode> MyXmlReader::CopyForeignNode(IXMLDOMNode* node)
{
    IXMLDOMDocument* document = Need(m_document);
    fx::ThrowIfNull(node);
    DOMNodeType type = NODE_INVALID;
    Check(node->get_nodeType(&type));
    fx::UniqueBstr name;
    Check(node->get_nodeName(name.put()));
    XmlVariant value;
    fx::ComPtr<IXMLDOMNode> copy;
    switch (type) {
    case NODE_ELEMENT: {
        fx::ComPtr<IXMLDOMElement> element;
        Check(document->createElement(name.get(), element.put()));
        fx::ComPtr<IXMLDOMNamedNodeMap> attributes;
        Check(node->get_attributes(attributes.put()));
        long count = 0;
        if (attributes) Check(attributes->get_length(&count));
        for (long i = 0; i < count; ++i) {
            fx::ComPtr<IXMLDOMNode> attribute;
            Check(attributes->get_item(i, attribute.put()));
            fx::UniqueBstr attributeName;
            Check(Need(attribute)->get_nodeName(attributeName.put()));
            XmlVariant attributeValue;
            Check(attribute->get_nodeValue(attributeValue.put()));
            Check(element->setAttribute(attributeName.get(), attributeValue.get()));
        }
        copy = element.As<IXMLDOMNode>(IID_IXMLDOMNode);
        fx::ComPtr<IXMLDOMNode> child;
        Check(node->get_firstChild(child.put()));
        while (child) {
            const fx::ComPtr<IXMLDOMNode> childCopy = CopyForeignNode(child.get());
            if (childCopy) {
                fx::ComPtr<IXMLDOMNode> appended;
                Check(Need(copy)->appendChild(childCopy.get(), appended.put()));
            }
            fx::ComPtr<IXMLDOMNode> next;
            Check(child->get_nextSibling(next.put()));
            child = next;
        }
        return copy;
    }
    case NODE_TEXT:
    case NODE_CDATA_SECTION:
    case NODE_COMMENT:
    case NODE_PROCESSING_INSTRUCTION: {
        Check(node->get_nodeValue(value.put()));
        const fx::UniqueBstr text = fx::MakeBstr(value.ToString());
        if (type == NODE_TEXT) {
            fx::ComPtr<IXMLDOMText> made;
            Check(document->createTextNode(text.get(), made.put()));
            return made.As<IXMLDOMNode>(IID_IXMLDOMNode);
        }
        if (type == NODE_CDATA_SECTION) {
            fx::ComPtr<IXMLDOMCDATASection> made;
            Check(document->createCDATASection(text.get(), made.put()));
            return made.As<IXMLDOMNode>(IID_IXMLDOMNode);
        }
        if (type == NODE_COMMENT) {
            fx::ComPtr<IXMLDOMComment> made;
            Check(document->createComment(text.get(), made.put()));
            return made.As<IXMLDOMNode>(IID_IXMLDOMNode);
        }
        fx::ComPtr<IXMLDOMProcessingInstruction> made;
        Check(document->createProcessingInstruction(name.get(), text.get(), made.put()));
        return made.As<IXMLDOMNode>(IID_IXMLDOMNode);
    }
    default:
        return copy;  // entity references and the like are not carried over
    }
}

HRESULT MyXmlWriter::CreateDocument(const std::wstring& rootName, const wchar_t* content)
{
    if (!m_document) {
        const HRESULT hr = CreateDomDocument();
        if (FAILED(hr)) return hr;
    }
    std::wstring text = L"<" + rootName + L">";
    if (content) text += content;
    text += L"</" + rootName + L">";
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Check(m_document->loadXML(fx::MakeBstr(text).get(), &loaded));
    return loaded == VARIANT_TRUE ? S_OK : E_FAIL;
}

bool MyXmlWriter::HasDeclaration()
{
    Need(m_document);
    fx::ComPtr<IXMLDOMNode> node;
    Check(m_document->get_firstChild(node.put()));
    while (node) {
        DOMNodeType type = NODE_INVALID;
        Check(node->get_nodeType(&type));
        if (type == NODE_PROCESSING_INSTRUCTION) {
            // Compare the platform's rendering of both sides.
            fx::ComPtr<IXMLDOMProcessingInstruction> wanted;
            Check(m_document->createProcessingInstruction(fx::MakeBstr(GetDeclarationTarget()).get(),
                                                          fx::MakeBstr(GetDeclarationData()).get(), wanted.put()));
            XmlVariant mine;
            XmlVariant theirs;
            Check(Need(wanted)->get_nodeValue(mine.put()));
            Check(node->get_nodeValue(theirs.put()));
            if (SameValue(mine, theirs)) return true;
            if (NodeName(node.get()) == GetDeclarationTarget() && SameDeclaration(mine, theirs)) return true;
        }
        fx::ComPtr<IXMLDOMNode> next;
        Check(node->get_nextSibling(next.put()));
        node = std::move(next);
    }
    return false;
}

HRESULT MyXmlWriter::InsertDeclaration()
{
    Need(m_document);
    // An "xml" declaration of another encoding goes first: a document with two
    // declarations is saved as a file that no longer parses.
    fx::ComPtr<IXMLDOMNode> node;
    Check(m_document->get_firstChild(node.put()));
    while (node) {
        fx::ComPtr<IXMLDOMNode> next;
        Check(node->get_nextSibling(next.put()));
        DOMNodeType type = NODE_INVALID;
        Check(node->get_nodeType(&type));
        if (type == NODE_PROCESSING_INSTRUCTION && NodeName(node.get()) == GetDeclarationTarget()) {
            fx::ComPtr<IXMLDOMNode> removed;
            Check(m_document->removeChild(node.get(), removed.put()));
        }
        node = std::move(next);
    }
    fx::ComPtr<IXMLDOMProcessingInstruction> declaration;
    Check(m_document->createProcessingInstruction(fx::MakeBstr(GetDeclarationTarget()).get(),
                                                  fx::MakeBstr(GetDeclarationData()).get(), declaration.put()));
    fx::ComPtr<IXMLDOMElement> root;
    Check(m_document->get_documentElement(root.put()));
    fx::ComPtr<IXMLDOMNode> inserted;
    Check(m_document->insertBefore(Need(declaration), XmlVariant::FromDispatch(root.get()).get(), inserted.put()));
    m_current = std::move(inserted);
    return S_OK;
}

namespace {

// Deletes a temporary file unless it was handed on.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (!m_path.empty()) ::DeleteFileW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }
    void Keep() { m_path.clear(); }

private:
    std::wstring m_path;
};

}  // namespace

HRESULT MyXmlWriter::SaveFile(const std::wstring& path)
{
    if (!m_document) return E_POINTER;
    if (!HasDeclaration()) {
        const HRESULT hr = InsertDeclaration();
        if (hr != S_OK) return hr;
    }
    // The document goes to a new file in the same folder first, which then
    // replaces the target in one step: a process killed or a disk that fills
    // during the save leaves the old file, never a truncated one.
    std::wstring folder = MyFilePath(path).GetFolder();
    if (folder.empty()) folder = L".";
    wchar_t name[MAX_PATH] = {};
    if (!::GetTempFileNameW(folder.c_str(), L"~s2", 0, name)) throw fx::ComError(fx::HResultFromLastError());
    TemporaryFile temporary(name);
    const HRESULT hr = Check(m_document->save(XmlVariant::FromString(temporary.Path()).get()));
    if (!::MoveFileExW(temporary.Path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw fx::ComError(fx::HResultFromLastError());
    }
    temporary.Keep();
    return hr;
}
