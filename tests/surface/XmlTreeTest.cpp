#include "surface/XmlParser.h"

#include "data/FileTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

// The tree as one line: elements as name[attr=value ...]{children}, text entries quoted.
std::string dump(const IXmlEntry* entry)
{
    if (entry == nullptr) return "null";
    if (entry->GetType() != kXmlElement) return "\"" + entry->GetName() + "\"";
    const auto* element = AsElement(entry);
    std::string out = element->GetName();
    std::string separator = "[";
    for (const std::string& name : element->GetAttributeNames()) {
        out += separator + name + "=" + *AttributeText(element, name);
        separator = " ";
    }
    if (element->GetAttributeCount() > 0) out += "]";
    for (int i = 0; i < element->GetChildCount(); ++i) out += (i > 0 ? "," : "{") + dump(element->GetChild(i));
    return element->GetChildCount() > 0 ? out + "}" : out;
}

struct Parsed { int result = 0; XmlError error; std::string tree; };

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
    const Parsed parsed = parse(
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
        "        <gui_pos><!-- no text --></gui_pos>\n      </software>\n    </control>\n"
        "    <control>mixed <b/> text<![CDATA[dropped]]></control>\n"
        "  </controls>\n</Tamsiro_Device>\n<!-- after -->\n");
    ASSERT_EQ(parsed.result, 1) << parsed.error.message;
    EXPECT_TRUE(parsed.error.ok());
    EXPECT_EQ(parsed.tree,
              "Tamsiro_Device{controls[alpha=a & b parent=floating zeta=z]{"
              "control{software{gui_type{\"check\"},"
              "gui_description{\"\n          On,\n          Off\n        \"},gui_pos}},"
              "control{\"mixed \",b,\" text\"}}}");

    EXPECT_EQ(parse("\xEF\xBB\xBF<a>\xC2\xB5</a>").tree, "a{\"\xC2\xB5\"}");  // a byte order mark is accepted
    // Long names and values are kept whole.
    const std::string name(40, 'n');
    const std::string value(300, 'v');
    EXPECT_EQ(parse("<" + name + " k='" + value + "'>" + value + "</" + name + ">").tree,
              name + "[k=" + value + "]{\"" + value + "\"}");
}

TEST(XmlTree, EntryKindsAndLookups)
{
    CDerivedParser parser;
    const std::string text = "<r a='1' a='2'><x><t>one</t></x><t>two</t><r>inner</r></r>";
    ASSERT_EQ(parser.ParseResource(text.data(), text.size(), nullptr, "k"), 1);
    const CDerivedXmlElement* root = parser.GetRoot();
    // A repeated attribute keeps its first value; values are kind 4 entries.
    EXPECT_EQ(dump(root), "r[a=1]{x{t{\"one\"}},t{\"two\"},r{\"inner\"}}");
    EXPECT_EQ(root->GetAttribute("a")->GetType(), kXmlCData);
    // A matching element finds itself first; otherwise the first hit depth-first.
    EXPECT_EQ(root->FindElement("r"), root);
    const CDerivedXmlElement* t = root->FindElement("t");
    EXPECT_EQ((std::tuple{*FirstChildText(t), t->GetChild(0)->GetType()}), (std::tuple{"one", kXmlText}));
    EXPECT_EQ((std::tuple{t->GetChild(1), t->GetChild(-1)}), (std::tuple{nullptr, nullptr}));
    EXPECT_EQ(FirstChildText(root), nullptr);  // its first child is an element
}

TEST(XmlTree, MalformedOrTooDeepDocumentsGiveAClearErrorAndNoTree)
{
    struct Case { std::string text; std::uint32_t code; std::ptrdiff_t offset; int line; };
    const Case cases[] = {
        {"<a>\n  <b>\n</a>", kXmlErrorNotWellFormed, 12, 3},  // mismatched end tag
        {"<a><b></b>", kXmlErrorNotWellFormed, 9, 1},        // unclosed
        {"<a x=1/>", kXmlErrorNotWellFormed, 5, 1},          // unquoted attribute
        {"<a/>\n<b/>", kXmlErrorNotWellFormed, 6, 2},        // second document element
        {"<a/> trailing", kXmlErrorNotWellFormed, 4, 1},     // text outside the element
        {"<!-- only a comment -->", kXmlErrorNoRoot, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDerivedXmlContainer container;
        CDerivedParser parser;
        EXPECT_EQ(parser.ParseResource(c.text.data(), c.text.size(), &container, "k"), 0);
        const XmlError& error = parser.GetLastError();
        EXPECT_EQ((std::tuple{error.code, error.offset, error.line}), (std::tuple{c.code, c.offset, c.line}));
        EXPECT_EQ((std::tuple{parser.GetRoot(), error.message.empty(), container.Size()}), (std::tuple{nullptr, false, 0u}));
    }
    CDerivedParser parser;
    EXPECT_EQ((std::tuple{parser.ParseResource(nullptr, 10, nullptr, "k"), parser.GetLastError().code}), (std::tuple{0, kXmlErrorSetup}));

    // Too deep a nesting is refused.
    const auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text = "<d>" + text + "</d>";
        return text;
    };
    const Parsed tooDeep = parse(nested(300));
    EXPECT_EQ((std::tuple{tooDeep.result, tooDeep.error.code, tooDeep.error.offset}),
              (std::tuple{0, kXmlErrorNotWellFormed, std::ptrdiff_t{3 * CDerivedParser::kMaxDepth + 1}}));
    EXPECT_EQ(parse(nested(CDerivedParser::kMaxDepth)).result, 1);
}

TEST(XmlContainer, StoresUnderAFreeKeyAndReadsFiles)
{
    CDerivedXmlContainer container;
    CDerivedParser parser;
    const std::string a = "<a/>";
    const std::string b = "<b/>";
    ASSERT_EQ(parser.ParseResource(a.data(), a.size(), &container, "k"), 1);
    EXPECT_EQ(parser.GetRoot(), container.Find("k"));
    EXPECT_EQ(parser.ParseResource(b.data(), b.size(), &container, "k"), 0);
    EXPECT_EQ((std::tuple{parser.GetLastError().code, container.Find("k")->GetName()}), (std::tuple{kXmlErrorKeyInUse, "a"}));

    TempDir dir;
    writeText(dir.file("s.xml"), "<s><x>1</x></s>");
    ASSERT_EQ(parser.ParseFile(dir.file("s.xml"), &container, "file"), 1);
    EXPECT_EQ(dump(container.Find("file")), "s{x{\"1\"}}");
    EXPECT_EQ(parser.ParseFile(dir.file("none.xml"), &container, "none"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorSetup);
}
