#include "xml/PluginXMLAppender.h"

#include <vector>

#include "xml/MyXml.h"
#include "xml/SettingsXml.h"

using namespace settingsxml;

namespace {

// A node held on its own, outside any reader's cursor.
class HeldNode : public MyXmlReader {
public:
    explicit HeldNode(fx::ComPtr<IXMLDOMNode> node) { m_current = std::move(node); }
};

// Every `tag` element of the source, in document order.
std::vector<fx::ComPtr<IXMLDOMNode>> CollectElements(MyXmlReader& source, const wchar_t* tag)
{
    std::vector<fx::ComPtr<IXMLDOMNode>> nodes;
    for (MyXmlNode* node = source.SelectByTagName(tag); node; node = source.MoveNext()) {
        nodes.push_back(source.GetDomNode());
    }
    return nodes;
}

long Merge(MyXmlWriter& destination, MyXmlReader& source, const wchar_t* tag, const wchar_t* parentTag,
           const wchar_t* idName)
{
    const bool byId = idName && *idName;
    for (auto& element : CollectElements(source, tag)) {
        // Merged as a copy made by the destination: Wine's DOM does not survive
        // nodes moved between documents (it crashed on the second element).
        fx::ComPtr<IXMLDOMNode> copy;
        try {
            copy = destination.CopyForeignNode(element.get());
        } catch (const fx::ComError&) {
            return kInvalidData;
        }
        HeldNode other(copy);
        bool found = false;
        for (MyXmlNode* node = destination.SelectByTagName(tag); node; node = destination.MoveNext()) {
            if (byId ? destination.AttributeEquals(&other, idName) : destination.Matches(&other)) {
                found = true;
                break;
            }
        }
        HRESULT hr = S_OK;
        if (found) {
            hr = destination.ReplaceWith(&other);
        } else {
            if (!destination.SelectByTagName(parentTag)) return kInvalidData;
            hr = destination.AppendChild(&other);
        }
        if (hr != S_OK) return kInvalidData;
    }
    return 0;
}

}  // namespace

long PluginXMLAppenderUtf8::Append(const wchar_t* destination, const wchar_t* source, const wchar_t* tag,
                                   const wchar_t* parentTag, const wchar_t* rootName, const wchar_t* idName)
{
    if (!destination || !source || !tag || !parentTag || !rootName) return kBadArguments;
    MyXmlReader from;
    if (from.LoadFile(source) != S_OK) return kFileNotFound;
    MyXmlWriterUtf8 to;
    if (to.LoadFile(destination) != S_OK) {
        if (to.CreateDocument(rootName) != S_OK) return kAccessDenied;
    }
    const long result = Merge(to, from, tag, parentTag, idName);
    if (result == 0 && to.SaveFile(destination) != S_OK) return kAccessDenied;
    return result;
}
