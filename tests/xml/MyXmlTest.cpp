// The node library over the platform's MSXML 6 DOM: cursor rules, codes,
// declarations and the save.
#include <gtest/gtest.h>

#include <regex>

#include "framework/Format.h"
#include "tests/support/TestSupport.h"
#include "xml/MyXml.h"

using s2mtest::ScratchDir;

namespace {

// Loads `xml` from a scratch file into `reader`.
void Load(MyXmlReader& reader, const ScratchDir& scratch, const std::string& xml, const wchar_t* name = L"in.xml")
{
    ASSERT_TRUE(s2mtest::WriteFileBytes(scratch.File(name), xml));
    ASSERT_EQ(reader.LoadFile(scratch.File(name)), S_OK);
}

std::wstring Attr(MyXmlNode& node, const wchar_t* name)
{
    std::wstring value = L"<none>";
    node.GetAttribute(value, name);
    return value;
}

// Names of the current node's children, in order.
std::wstring ChildNames(MyXmlReader& reader)
{
    auto node = reader.GetDomNode();
    if (!node) return L"<no node>";
    std::wstring names;
    fx::ComPtr<IXMLDOMNode> child;
    node->get_firstChild(child.put());
    while (child) {
        fx::UniqueBstr name;
        child->get_nodeName(name.put());
        if (!names.empty()) names += L",";
        names += name.get();
        fx::ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(next.put());
        child = next;
    }
    return names;
}

long AttributeCount(MyXmlReader& reader)
{
    fx::ComPtr<IXMLDOMNamedNodeMap> map;
    reader.GetDomNode()->get_attributes(map.put());
    long n = -1;
    map->get_length(&n);
    return n;
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

const char kList[] = "<Objects><Item ID='a' K='1'><Child>one</Child><Child>two</Child>"
                     "<Deep><Grand>g</Grand></Deep></Item><Item ID='b'/><Item ID='c'/></Objects>";

// A node that stands on any DOM node the test gives it.
class AnyNode : public MyXmlReader {
public:
    explicit AnyNode(fx::ComPtr<IXMLDOMNode> node) { m_current = std::move(node); }
};

}  // namespace

TEST(MyXmlReaderTest, LoadFileFailures)
{
    ScratchDir scratch;
    MyXmlReader reader;
    EXPECT_EQ(reader.LoadFile(scratch.File(L"missing.xml")), E_INVALIDARG);
    ASSERT_TRUE(s2mtest::WriteFileBytes(scratch.File(L"bad.xml"), "<Objects><Setting></Objects>"));
    EXPECT_EQ(reader.LoadFile(scratch.File(L"bad.xml")), E_INVALIDARG);
    EXPECT_EQ(reader.SelectByTagName(L"Objects"), nullptr);
}

TEST(MyXmlReaderTest, NewReaderHasNothingToStandOn)
{
    MyXmlReader reader;
    std::wstring value = L"kept";
    EXPECT_EQ(reader.GetCount(), 0);
    EXPECT_EQ(reader.MoveNext(), nullptr);
    EXPECT_EQ(reader.MoveToChildren(), nullptr);
    EXPECT_EQ(reader.GetName(), L"");
    EXPECT_EQ(reader.GetAttribute(value, L"ID"), E_POINTER);
    EXPECT_EQ(reader.GetChildText(value, L"Child"), E_POINTER);
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(reader.AddChild(L"X"), E_INVALIDARG);
    EXPECT_EQ(reader.RemoveElement(L"X"), E_FAIL);
    EXPECT_FALSE(reader.GetDomNode());
}

TEST(MyXmlReaderTest, EmptySelectionLeavesNoCurrentNode)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    EXPECT_EQ(reader.SelectByTagName(L"Nothing"), nullptr);
    EXPECT_EQ(reader.GetCount(), 0);
    std::wstring value;
    EXPECT_EQ(reader.GetAttribute(value, L"ID"), E_POINTER);
    EXPECT_EQ(reader.SelectByTagName(L"item"), nullptr) << "names are case-sensitive";
}

TEST(MyXmlReaderTest, MoveNextStopsOnTheLastNode)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_EQ(reader.SelectByTagName(L"Item"), &reader);
    EXPECT_EQ(reader.GetCount(), 3);
    EXPECT_EQ(Attr(reader, L"ID"), L"a");
    EXPECT_EQ(reader.MoveNext(), &reader);
    EXPECT_EQ(reader.MoveNext(), &reader);
    EXPECT_EQ(Attr(reader, L"ID"), L"c");
    EXPECT_EQ(reader.MoveNext(), nullptr);
    EXPECT_EQ(Attr(reader, L"ID"), L"c") << "the cursor stays on the last node";
}

TEST(MyXmlReaderTest, MoveToChildren)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_EQ(reader.SelectByTagName(L"Item"), &reader);
    ASSERT_EQ(reader.MoveToChildren(), &reader);
    EXPECT_EQ(reader.GetCount(), 3);
    EXPECT_EQ(reader.GetName(), L"Child");
    ASSERT_EQ(reader.MoveToChildren(), &reader);  // onto the text node
    EXPECT_EQ(reader.GetName(), L"#text");

    // A leaf: the reader, standing on nothing.
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);
    reader.MoveNext();
    EXPECT_EQ(reader.MoveToChildren(), &reader);
    EXPECT_EQ(reader.GetCount(), 0);
    EXPECT_EQ(reader.GetName(), L"");
    std::wstring value;
    EXPECT_EQ(reader.GetAttribute(value, L"ID"), E_POINTER);
}

TEST(MyXmlReaderTest, GetChildTextSearchesDirectChildrenOnly)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);
    std::wstring value = L"kept";
    EXPECT_EQ(reader.GetChildText(value, L"Grand"), E_INVALIDARG);
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(reader.GetChildText(value, L"Child"), S_OK);
    EXPECT_EQ(value, L"one") << "the first of two children counts";
    EXPECT_EQ(reader.GetChildText(value, L"Deep"), S_OK);
    EXPECT_EQ(value, L"g") << "the text of the child and its descendants";
}

TEST(MyXmlReaderTest, SetChildText)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);

    EXPECT_EQ(reader.SetChildText(L"Missing", L"x", false), E_INVALIDARG);
    EXPECT_EQ(ChildNames(reader), L"Child,Child,Deep");

    // Markup content becomes one text node.
    EXPECT_EQ(reader.SetChildText(L"Deep", L"flat", false), S_OK);
    ASSERT_NE(reader.SelectByTagName(L"Deep"), nullptr);
    EXPECT_EQ(ChildNames(reader), L"#text");

    // Created as the last child, and the cursor moves onto it.
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);
    EXPECT_EQ(reader.SetChildText(L"New", L"\u30E1\u30D7\u30E9", true), S_OK);
    EXPECT_EQ(reader.GetName(), L"New");
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);
    EXPECT_EQ(ChildNames(reader), L"Child,Child,Deep,New");
    std::wstring value;
    EXPECT_EQ(reader.GetChildText(value, L"New"), S_OK);
    EXPECT_EQ(value, L"\u30E1\u30D7\u30E9");
}

TEST(MyXmlReaderTest, SetAttributeAddsOrReplaces)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_NE(reader.SelectByTagName(L"Item"), nullptr);
    EXPECT_EQ(reader.SetAttribute(L"K", L"2"), S_OK);
    EXPECT_EQ(AttributeCount(reader), 2);
    EXPECT_EQ(Attr(reader, L"K"), L"2");
    EXPECT_EQ(reader.SetAttribute(L"New", L"n"), S_OK);
    EXPECT_EQ(AttributeCount(reader), 3);
}

TEST(MyXmlReaderTest, AddChildArguments)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, kList);
    ASSERT_NE(reader.SelectByTagName(L"Objects"), nullptr);
    EXPECT_EQ(reader.AddChild(L"X", nullptr, L"ID", nullptr), E_INVALIDARG);
    EXPECT_EQ(reader.AddChild(L"X", nullptr, nullptr, L"v"), E_INVALIDARG);
    EXPECT_EQ(ChildNames(reader), L"Item,Item,Item") << "nothing was added";

    EXPECT_EQ(reader.AddChild(L"X", L"t", L"ID", L"v"), S_OK);
    EXPECT_EQ(reader.GetName(), L"X");
    EXPECT_EQ(Attr(reader, L"ID"), L"v");

    ASSERT_NE(reader.SelectByTagName(L"Objects"), nullptr);
    EXPECT_EQ(reader.AddChildWithAttributes(L"Y", nullptr, {{L"A", L"1"}, {L"B", L"2"}}), S_OK);
    EXPECT_EQ(Attr(reader, L"A"), L"1");
    EXPECT_EQ(Attr(reader, L"B"), L"2");
    ASSERT_NE(reader.SelectByTagName(L"Objects"), nullptr);
    EXPECT_EQ(ChildNames(reader), L"Item,Item,Item,X,Y");

    const MyXmlAttributeList list{{L"A", L"1"}};
    EXPECT_THROW(list.GetAt(1), fx::InvalidArgException);
}

TEST(MyXmlReaderTest, RemoveElementRemovesOnlyTheFirst)
{
    ScratchDir scratch;
    MyXmlReader reader;
    Load(reader, scratch, "<Objects><Setting ID='x' N='1'/><Setting ID='y'/><Setting ID='x' N='2'/></Objects>");
    EXPECT_EQ(reader.RemoveElement(L"Setting", nullptr, L"ID", L"z"), E_FAIL);
    EXPECT_EQ(reader.RemoveElement(L"Setting", nullptr, L"ID", nullptr), E_INVALIDARG);
    EXPECT_EQ(reader.RemoveElement(L"Setting", L"x"), E_FAIL) << "elements have no node value";

    EXPECT_EQ(reader.RemoveElement(L"Setting", nullptr, L"ID", L"x"), S_OK);
    EXPECT_EQ(Attr(reader, L"N"), L"1") << "the cursor stands on the removed element";
    ASSERT_NE(reader.SelectByTagName(L"Setting"), nullptr);
    EXPECT_EQ(reader.GetCount(), 2);
    EXPECT_EQ(Attr(reader, L"ID"), L"y");
    reader.MoveNext();
    EXPECT_EQ(Attr(reader, L"N"), L"2");
}

TEST(MyXmlReaderTest, MatchesIsOneDirectional)
{
    ScratchDir scratch;
    MyXmlReader mine;
    Load(mine, scratch, "<R><E A='1' B='2'/></R>", L"a.xml");
    ASSERT_NE(mine.SelectByTagName(L"E"), nullptr);

    struct Case { const char* other; bool matches; };
    const Case cases[] = {
        {"<R><E A='1' B='2'/></R>", true},
        {"<R><E B='2' A='1' C='3'/></R>", true},   // more attributes on the other side
        {"<R><E A='1'/></R>", false},              // the other lacks B
        {"<R><E A='1' B='x'/></R>", false},
        {"<R><F A='1' B='2'/></R>", false},
    };
    for (const Case& c : cases) {
        MyXmlReader other;
        Load(other, scratch, c.other, L"b.xml");
        ASSERT_NE(other.SelectByTagName(L"R"), nullptr);
        other.MoveToChildren();
        EXPECT_EQ(mine.Matches(&other), c.matches) << c.other;
    }
    EXPECT_FALSE(mine.Matches(nullptr));
}

TEST(MyXmlReaderTest, AttributeEquals)
{
    ScratchDir scratch;
    MyXmlReader a, b;
    Load(a, scratch, "<R><E ID='1' X='a'/></R>", L"a.xml");
    Load(b, scratch, "<R><E ID='1' X='b'/></R>", L"b.xml");
    a.SelectByTagName(L"E");
    b.SelectByTagName(L"E");
    EXPECT_TRUE(a.AttributeEquals(&b, L"ID"));
    EXPECT_FALSE(a.AttributeEquals(&b, L"X"));
    EXPECT_FALSE(a.AttributeEquals(&b, L"Missing"));
    EXPECT_FALSE(a.AttributeEquals(nullptr, L"ID"));
}

TEST(MyXmlReaderTest, ReplaceWithAndAppendChildAcrossDocuments)
{
    ScratchDir scratch;
    MyXmlReader target, source;
    Load(target, scratch, "<R><E ID='1'>old</E></R>", L"a.xml");
    Load(source, scratch, "<R><E ID='1'>new</E><F/></R>", L"b.xml");
    ASSERT_NE(target.SelectByTagName(L"E"), nullptr);
    ASSERT_NE(source.SelectByTagName(L"E"), nullptr);
    EXPECT_EQ(target.ReplaceWith(nullptr), E_INVALIDARG);
    EXPECT_EQ(target.ReplaceWith(&source), S_OK);

    ASSERT_NE(target.SelectByTagName(L"R"), nullptr);
    ASSERT_NE(source.SelectByTagName(L"F"), nullptr);
    EXPECT_EQ(target.AppendChild(&source), S_OK);
    EXPECT_EQ(target.GetName(), L"R") << "the cursor does not move";
    EXPECT_EQ(ChildNames(target), L"E,F");
    std::wstring text;
    ASSERT_EQ(target.GetChildText(text, L"E"), S_OK);
    EXPECT_EQ(text, L"new");
}

TEST(MyXmlReaderTest, RefusedAppendStillReportsSuccess)
{
    ScratchDir scratch;
    MyXmlReader target, source;
    Load(target, scratch, "<R><E/></R>", L"a.xml");
    Load(source, scratch, "<Q/>", L"b.xml");
    ASSERT_NE(target.SelectByTagName(L"E"), nullptr);
    ASSERT_NE(source.SelectByTagName(L"Q"), nullptr);
    // A whole document cannot become a child of an element.
    fx::ComPtr<IXMLDOMNode> document;
    source.GetDomNode()->get_ownerDocument(reinterpret_cast<IXMLDOMDocument**>(document.put()));
    ASSERT_TRUE(document);
    AnyNode whole(document);
    fx::ComPtr<IXMLDOMNode> appended;
    ASSERT_TRUE(FAILED(target.GetDomNode()->appendChild(document.get(), appended.put()))) << "the platform refuses it";
    EXPECT_EQ(target.AppendChild(&whole), S_OK);
    EXPECT_EQ(ChildNames(target), L"");
    EXPECT_EQ(target.AppendChild(nullptr), E_INVALIDARG);
}

TEST(MyXmlWriterTest, CreateDocumentSavesWithTheUtf8Declaration)
{
    ScratchDir scratch;
    MyXmlWriterUtf8 writer;
    EXPECT_EQ(writer.SaveFile(scratch.File(L"none.xml")), E_POINTER);
    ASSERT_EQ(writer.CreateDocument(L"Objects"), S_OK);
    EXPECT_FALSE(writer.HasDeclaration());
    ASSERT_EQ(writer.SaveFile(scratch.File(L"out.xml")), S_OK);
    EXPECT_EQ(writer.GetName(), L"xml") << "the cursor stands on the inserted declaration";

    std::string bytes = s2mtest::ReadFileBytes(scratch.File(L"out.xml"));
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    EXPECT_TRUE(std::regex_search(bytes, std::regex("^<\\?xml\\s+version=")) ) << bytes;
    const std::string firstLine = bytes.substr(0, bytes.find("?>"));
    EXPECT_NE(firstLine.find("UTF-8"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<Objects"), std::string::npos) << bytes;

    MyXmlReader back;
    ASSERT_EQ(back.LoadFile(scratch.File(L"out.xml")), S_OK);
    ASSERT_NE(back.SelectByTagName(L"Objects"), nullptr);
    EXPECT_EQ(ChildNames(back), L"");

    MyXmlWriterUtf8 rejected;
    EXPECT_EQ(rejected.CreateDocument(L"Objects", L"<open>"), E_FAIL);
}

TEST(MyXmlWriterTest, ResaveKeepsOneDeclarationAndTheContent)
{
    ScratchDir scratch;
    const std::wstring japanese = L"\u540D\u523A \u30E1\u30D7\u30E9 & <x>";
    {
        MyXmlWriterUtf8 writer;
        ASSERT_EQ(writer.CreateDocument(L"Objects"), S_OK);
        ASSERT_NE(writer.SelectByTagName(L"Objects"), nullptr);
        ASSERT_EQ(writer.AddChild(L"Setting", japanese.c_str(), L"Name", japanese.c_str()), S_OK);
        ASSERT_EQ(writer.SaveFile(scratch.File(L"a.xml")), S_OK);
    }
    for (int round = 0; round < 2; ++round) {
        MyXmlWriterUtf8 writer;
        ASSERT_EQ(writer.LoadFile(scratch.File(L"a.xml")), S_OK);
        EXPECT_TRUE(writer.HasDeclaration());
        ASSERT_EQ(writer.SaveFile(scratch.File(L"a.xml")), S_OK);
    }
    const std::string bytes = s2mtest::ReadFileBytes(scratch.File(L"a.xml"));
    EXPECT_EQ(Occurrences(bytes, "<?xml"), 1u) << bytes;
    EXPECT_NE(bytes.find(fx::ToUtf8(L"\u30E1\u30D7\u30E9")), std::string::npos) << "stored as UTF-8";

    MyXmlReader back;
    ASSERT_EQ(back.LoadFile(scratch.File(L"a.xml")), S_OK);
    ASSERT_NE(back.SelectByTagName(L"Setting"), nullptr);
    EXPECT_EQ(Attr(back, L"Name"), japanese);
    fx::UniqueBstr text;
    back.GetDomNode()->get_text(text.put());
    EXPECT_EQ(std::wstring(text.get()), japanese);
}

TEST(MyXmlWriterTest, FailedSaveLeavesNoTemporaryFile)
{
    ScratchDir scratch;
    // The target is a folder, so the final replace cannot succeed.
    const std::wstring target = scratch.File(L"AppSettings.XML");
    ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
    MyXmlWriterUtf8 writer;
    ASSERT_EQ(writer.CreateDocument(L"Objects"), S_OK);
    EXPECT_THROW(writer.SaveFile(target), fx::ComError);

    WIN32_FIND_DATAW found;
    fx::UniqueFind find(::FindFirstFileW(scratch.File(L"*").c_str(), &found));
    std::wstring names;
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names += name + L";";
        } while (::FindNextFileW(find.get(), &found));
    }
    EXPECT_EQ(names, L"AppSettings.XML;");
}

TEST(MyXmlReaderTest, DocumentTypeDeclarationsReadNoOtherFile)
{
    ScratchDir scratch;
    ASSERT_TRUE(s2mtest::WriteFileBytes(scratch.File(L"secret.txt"), "SECRET"));
    const std::string url = fx::ToUtf8(scratch.File(L"secret.txt"));
    const std::string xml = "<?xml version='1.0'?><!DOCTYPE R [<!ENTITY x SYSTEM '" + url +
                            "'>]><R><E>&x;</E></R>";
    ASSERT_TRUE(s2mtest::WriteFileBytes(scratch.File(L"in.xml"), xml));
    MyXmlReader reader;
    const HRESULT hr = reader.LoadFile(scratch.File(L"in.xml"));
    if (hr == S_OK && reader.SelectByTagName(L"R")) {
        std::wstring text;
        reader.GetChildText(text, L"E");
        EXPECT_EQ(text.find(L"SECRET"), std::wstring::npos);
    } else {
        EXPECT_EQ(hr, E_INVALIDARG);
    }
}
