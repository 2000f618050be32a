// A small cursor-style node library over the MSXML 6 DOM.  A reader owns one
// document, a selection (node list) and the node the cursor stands on;
// operations that return a node return the reader itself while the cursor
// stands on a node, and nullptr when there is nothing to stand on.
//
// Optional string arguments are `const wchar_t*`; nullptr means "not given".
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/Result.h"
#include "framework/Unique.h"

// The ordered (name, value) pairs of AddChildWithAttributes.
class MyXmlAttributeList {
public:
    using Pair = std::pair<std::wstring, std::wstring>;

    MyXmlAttributeList() = default;
    MyXmlAttributeList(std::initializer_list<Pair> pairs) : m_pairs(pairs) {}

    void Add(const std::wstring& name, const std::wstring& value) { m_pairs.emplace_back(name, value); }
    long GetCount() const { return static_cast<long>(m_pairs.size()); }
    // Throws fx::InvalidArgException for an index outside the list.
    const Pair& GetAt(long index) const
    {
        if (index < 0 || index >= GetCount()) throw fx::InvalidArgException();
        return m_pairs[static_cast<size_t>(index)];
    }

private:
    std::vector<Pair> m_pairs;
};

class MyXmlNode {
public:
    virtual ~MyXmlNode() = default;

    virtual long GetCount() = 0;
    virtual HRESULT GetAttribute(std::wstring& value, const std::wstring& name) = 0;
    virtual HRESULT SetAttribute(const std::wstring& name, const std::wstring& value) = 0;
    virtual HRESULT GetChildText(std::wstring& value, const std::wstring& name) = 0;
    virtual HRESULT SetChildText(const std::wstring& name, const std::wstring& value, bool create) = 0;
    virtual MyXmlNode* MoveNext() = 0;
    virtual MyXmlNode* MoveToChildren() = 0;
    virtual std::wstring GetName() = 0;
    virtual HRESULT AddChildWithAttributes(const std::wstring& name, const wchar_t* text,
                                           const MyXmlAttributeList& attributes) = 0;
    virtual HRESULT AddChild(const std::wstring& name, const wchar_t* text = nullptr,
                             const wchar_t* attrName = nullptr, const wchar_t* attrValue = nullptr) = 0;
    virtual HRESULT RemoveElement(const std::wstring& tag, const wchar_t* value = nullptr,
                                  const wchar_t* attrName = nullptr, const wchar_t* attrValue = nullptr) = 0;
    virtual bool Matches(MyXmlNode* other) = 0;
    virtual bool AttributeEquals(MyXmlNode* other, const std::wstring& name) = 0;
    virtual HRESULT ReplaceWith(MyXmlNode* other) = 0;
    virtual HRESULT AppendChild(MyXmlNode* other) = 0;
    // The current DOM node (the owner holds the added reference); empty when none.
    virtual fx::ComPtr<IXMLDOMNode> GetDomNode() = 0;
};

class MyXmlReader : public MyXmlNode {
public:
    MyXmlReader() = default;
    MyXmlReader(const MyXmlReader&) = delete;
    MyXmlReader& operator=(const MyXmlReader&) = delete;
    ~MyXmlReader() override = default;

    long GetCount() override;
    HRESULT GetAttribute(std::wstring& value, const std::wstring& name) override;
    HRESULT SetAttribute(const std::wstring& name, const std::wstring& value) override;
    HRESULT GetChildText(std::wstring& value, const std::wstring& name) override;
    HRESULT SetChildText(const std::wstring& name, const std::wstring& value, bool create) override;
    MyXmlNode* MoveNext() override;
    MyXmlNode* MoveToChildren() override;
    std::wstring GetName() override;
    HRESULT AddChildWithAttributes(const std::wstring& name, const wchar_t* text,
                                   const MyXmlAttributeList& attributes) override;
    HRESULT AddChild(const std::wstring& name, const wchar_t* text = nullptr,
                     const wchar_t* attrName = nullptr, const wchar_t* attrValue = nullptr) override;
    HRESULT RemoveElement(const std::wstring& tag, const wchar_t* value = nullptr,
                          const wchar_t* attrName = nullptr, const wchar_t* attrValue = nullptr) override;
    bool Matches(MyXmlNode* other) override;
    bool AttributeEquals(MyXmlNode* other, const std::wstring& name) override;
    HRESULT ReplaceWith(MyXmlNode* other) override;
    HRESULT AppendChild(MyXmlNode* other) override;
    fx::ComPtr<IXMLDOMNode> GetDomNode() override;

    // S_OK; E_INVALIDARG when the file is missing, unreadable or malformed;
    // the failure of creating the document.  COM errors of the load itself
    // are thrown as fx::ComError.
    HRESULT LoadFile(const std::wstring& path);
    MyXmlNode* SelectByTagName(const std::wstring& tag);

    // A deep copy of a node of another document, made by this reader's own
    // document (elements, attributes, texts, CDATA, comments, processing
    // instructions).  Throws fx::ComError; E_POINTER without a document.
    fx::ComPtr<IXMLDOMNode> CopyForeignNode(IXMLDOMNode* node);

protected:
    // Creates a fresh DOMDocument60 with safe parser settings into m_document.
    HRESULT CreateDomDocument();

    // Declared in this order so that the current node is released first and
    // the document last.
    fx::ComPtr<IXMLDOMDocument> m_document;
    fx::ComPtr<IXMLDOMNodeList> m_selection;
    fx::ComPtr<IXMLDOMNode> m_current;
    long m_index = 0;
};

class MyXmlWriter : public MyXmlReader {
public:
    // S_OK; E_FAIL when the root text is rejected; a document creation failure.
    HRESULT CreateDocument(const std::wstring& rootName, const wchar_t* content = nullptr);
    // Writes a temporary file beside `path` and then replaces `path` with it
    // in one step, so an interrupted save never leaves a broken file.
    // E_POINTER without a document; COM errors of the save are thrown.
    HRESULT SaveFile(const std::wstring& path);
    bool HasDeclaration();
    HRESULT InsertDeclaration();

    virtual std::wstring GetDeclarationData() const = 0;
    virtual std::wstring GetDeclarationTarget() const = 0;
};

class MyXmlWriterUtf8 : public MyXmlWriter {
public:
    std::wstring GetDeclarationData() const override { return L" version='1.0' encoding='UTF-8'"; }
    std::wstring GetDeclarationTarget() const override { return L"xml"; }
};
