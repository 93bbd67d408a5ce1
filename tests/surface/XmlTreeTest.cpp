#include "surface/XmlParser.h"

#include "data/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The tree as one line: elements as name[attr=value ...]{children}, text
// entries quoted.
std::string dump(const IXmlEntry* entry)
{
    if (entry == nullptr) {
        return "null";
    }
    if (entry->GetType() != kXmlElement) {
        return "\"" + entry->GetName() + "\"";
    }
    const auto* element = AsElement(entry);
    std::string out = element->GetName();
    if (element->GetAttributeCount() > 0) {
        out += "[";
        bool first = true;
        for (const std::string& name : element->GetAttributeNames()) {
            out += (first ? "" : " ") + name + "=" + *AttributeText(element, name);
            first = false;
        }
        out += "]";
    }
    if (element->GetChildCount() > 0) {
        out += "{";
        for (int i = 0; i < element->GetChildCount(); ++i) {
            out += (i > 0 ? "," : "") + dump(element->GetChild(i));
        }
        out += "}";
    }
    return out;
}

struct Parsed {
    int result = 0;
    XmlError error;
    std::string tree;
};

Parsed parse(const std::string& text)
{
    CDerivedParser parser;
    Parsed out;
    out.result = parser.ParseResource(text.data(), text.size(), nullptr, "k");
    out.error = parser.GetLastError();
    out.tree = dump(parser.GetRoot());
    return out;
}

}  // namespace

TEST(XmlTree, CopiesElementsTextAndAttributesAndDropsCommentsAndBlankText)
{
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
        "<!-- a surface -->\n"
        "<Tamsiro_Device>\n"
        "  <controls parent=\"floating\" zeta='z' alpha=\"a &amp; b\">\n"
        "    <control>\n"
        "      <!-- between fields -->\n"
        "      <software>\n"
        "        <gui_type>check</gui_type>\n"
        "        <gui_description>\n"
        "          On,\n"
        "          Off\n"
        "        </gui_description>\n"
        "        <gui_pos><!-- no text --></gui_pos>\n"
        "      </software>\n"
        "    </control>\n"
        "    <!-- between list entries -->\n"
        "    <control>mixed <b/> text<![CDATA[dropped]]></control>\n"
        "  </controls>\n"
        "</Tamsiro_Device>\n"
        "<!-- after -->\n";
    const Parsed parsed = parse(text);
    ASSERT_EQ(parsed.result, 1) << parsed.error.message;
    EXPECT_TRUE(parsed.error.ok());
    EXPECT_EQ(parsed.tree,
              "Tamsiro_Device{controls[alpha=a & b parent=floating zeta=z]{"
              "control{software{gui_type{\"check\"},"
              "gui_description{\"\n          On,\n          Off\n        \"},gui_pos}},"
              "control{\"mixed \",b,\" text\"}}}");
}

TEST(XmlTree, EntryKindsNamesAndLookups)
{
    CDerivedParser parser;
    const std::string text = "<r a='1' a='2'><x><t>one</t></x><t>two</t><r>inner</r></r>";
    ASSERT_EQ(parser.ParseResource(text.data(), text.size(), nullptr, "k"), 1);
    const CDerivedXmlElement* root = parser.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetType(), kXmlElement);

    // A repeated attribute keeps its first value; values are kind 4 entries.
    EXPECT_EQ(root->GetAttributeCount(), 1);
    ASSERT_NE(root->GetAttribute("a"), nullptr);
    EXPECT_EQ(root->GetAttribute("a")->GetType(), kXmlCData);
    EXPECT_EQ(root->GetAttribute("a")->GetName(), "1");
    EXPECT_EQ(root->GetAttribute("b"), nullptr);

    // A matching element finds itself first; otherwise the first hit depth-first.
    EXPECT_EQ(root->FindElement("r"), root);
    const CDerivedXmlElement* t = root->FindElement("t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(*FirstChildText(t), "one");
    EXPECT_EQ(root->FindElement("missing"), nullptr);

    // Text entries are kind 3 and hold the text as their name.
    const IXmlEntry* text1 = t->GetChild(0);
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->GetType(), kXmlText);
    EXPECT_EQ(t->GetChildCount(), 1);
    EXPECT_EQ(t->GetChild(1), nullptr);
    EXPECT_EQ(t->GetChild(-1), nullptr);
    EXPECT_EQ(AsElement(text1), nullptr);
    EXPECT_EQ(FirstChildText(root), nullptr);  // first child is an element

    // Comments and other node kinds make no entry.
    EXPECT_EQ(CXmlFactory::GetInstance().CreateEntry(8, "comment"), nullptr);
}

TEST(XmlTree, LongNamesAndValuesAreKeptWhole)
{
    const std::string name(40, 'n');
    const std::string value(300, 'v');
    const Parsed parsed = parse("<" + name + " k='" + value + "'>" + value + "</" + name + ">");
    ASSERT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.tree, name + "[k=" + value + "]{\"" + value + "\"}");
}

TEST(XmlTree, ByteOrderMarkIsAccepted)
{
    EXPECT_EQ(parse("\xEF\xBB\xBF<a>\xC2\xB5</a>").tree, "a{\"\xC2\xB5\"}");
}

TEST(XmlTree, MalformedDocumentsGiveAClearErrorAndNoTree)
{
    struct Case {
        std::string text;
        std::uint32_t code;
        std::ptrdiff_t offset;
        int line;
    };
    const Case cases[] = {
        {"<a>\n  <b>\n</a>", kXmlErrorNotWellFormed, 12, 3},  // mismatched end tag
        {"<a><b></b>", kXmlErrorNotWellFormed, 9, 1},        // unclosed
        {"<a x=1/>", kXmlErrorNotWellFormed, 5, 1},          // unquoted attribute
        {"<a/>\n<b/>", kXmlErrorNotWellFormed, 6, 2},        // second document element
        {"<a/> trailing", kXmlErrorNotWellFormed, 4, 1},     // text outside the element
        {"", kXmlErrorNoRoot, -1, 0},
        {"<!-- only a comment -->", kXmlErrorNoRoot, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDerivedXmlContainer container;
        CDerivedParser parser;
        EXPECT_EQ(parser.ParseResource(c.text.data(), c.text.size(), &container, "k"), 0);
        EXPECT_EQ(parser.GetRoot(), nullptr);
        EXPECT_EQ(parser.GetLastError().code, c.code);
        EXPECT_EQ(parser.GetLastError().offset, c.offset);
        EXPECT_EQ(parser.GetLastError().line, c.line);
        EXPECT_FALSE(parser.GetLastError().message.empty());
        EXPECT_EQ(container.Size(), 0u);
    }

    CDerivedParser parser;
    EXPECT_EQ(parser.ParseResource(nullptr, 10, nullptr, "k"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorSetup);
}

TEST(XmlTree, TooDeepNestingIsRefused)
{
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<d>";
    }
    for (int i = 0; i < 300; ++i) {
        deep += "</d>";
    }
    const Parsed tooDeep = parse(deep);
    EXPECT_EQ(tooDeep.result, 0);
    EXPECT_EQ(tooDeep.error.code, kXmlErrorNotWellFormed);
    EXPECT_EQ(tooDeep.error.offset, 3 * CDerivedParser::kMaxDepth + 1);

    std::string fits;
    for (int i = 0; i < CDerivedParser::kMaxDepth; ++i) {
        fits += "<d>";
    }
    for (int i = 0; i < CDerivedParser::kMaxDepth; ++i) {
        fits += "</d>";
    }
    EXPECT_EQ(parse(fits).result, 1);
}

TEST(XmlContainer, ParserStoresIntoTheContainerAndRefusesATakenKey)
{
    CDerivedXmlContainer container;
    CDerivedParser parser;
    const std::string a = "<a/>";
    ASSERT_EQ(parser.ParseResource(a.data(), a.size(), &container, "k"), 1);
    EXPECT_EQ(parser.GetRoot(), container.Find("k"));

    const std::string b = "<b/>";
    EXPECT_EQ(parser.ParseResource(b.data(), b.size(), &container, "k"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorKeyInUse);
    EXPECT_EQ(container.Find("k")->GetName(), "a");
}

TEST(XmlContainer, ParseFileReadsAFile)
{
    TempDir dir;
    const std::string path = dir.file("s.xml");
    const std::string text = "<s><x>1</x></s>";
    writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    CDerivedXmlContainer container;
    CDerivedParser parser;
    ASSERT_EQ(parser.ParseFile(path, &container, "file"), 1);
    EXPECT_EQ(dump(container.Find("file")), "s{x{\"1\"}}");
    EXPECT_EQ(parser.ParseFile(dir.file("none.xml"), &container, "none"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorSetup);
}
