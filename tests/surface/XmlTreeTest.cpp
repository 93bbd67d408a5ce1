#include "surface/XmlParser.h"

#include "data/FileTestSupport.h"

#include <gtest/gtest.h>

#include <span>
#include <string_view>
#include <vector>


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

// The tree, or the error's code and offset.
std::string parse(const std::string& text)
{
    CDerivedParser parser;
    if (parser.ParseResource(text.data(), text.size(), nullptr, "k") == 1) return dump(parser.GetRoot());
    return "error " + std::to_string(parser.GetLastError().code) + " at " + std::to_string(parser.GetLastError().offset);
}

}  // namespace

TEST(XmlTree, CopiesElementsTextAndAttributesAndDropsCommentsAndBlankText)
{
    EXPECT_EQ(parse(
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
        "  </controls>\n</Tamsiro_Device>\n<!-- after -->\n"),
              "Tamsiro_Device{controls[alpha=a & b parent=floating zeta=z]{"
              "control{software{gui_type{\"check\"},"
              "gui_description{\"\n          On,\n          Off\n        \"},gui_pos}},"
              "control{\"mixed \",b,\" text\"}}}");

    EXPECT_EQ(parse("\xEF\xBB\xBF<a>\xC2\xB5</a>"), "a{\"\xC2\xB5\"}");  // a byte order mark is accepted
    const std::string v(300, 'v');  // long names and values are kept whole
    EXPECT_EQ(parse("<" + v + " k='" + v + "'>" + v + "</" + v + ">"), v + "[k=" + v + "]{\"" + v + "\"}");
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
    EXPECT_EQ(*FirstChildText(t), "one");
    EXPECT_EQ(t->GetChild(0)->GetType(), kXmlText);
    EXPECT_EQ(t->GetChild(1), nullptr);
    EXPECT_EQ(t->GetChild(-1), nullptr);
    EXPECT_EQ(FirstChildText(root), nullptr);  // its first child is an element
}

TEST(XmlTree, OneWalkFindsForEveryNameWhatFindElementFinds)
{
    CDerivedParser parser;
    const std::string text = "<r><a><b>1</b><c><b>2</b><d/></c></a><b>3</b><d>4</d><a><e/></a><r/></r>";
    ASSERT_EQ(parser.ParseResource(text.data(), text.size(), nullptr, "k"), 1);
    const CDerivedXmlElement* root = parser.GetRoot();
    // Its own name, names met deeper first, a name asked twice, names nowhere.
    const std::vector<std::string_view> names = {"b", "r", "d", "e", "x", "c", "b", "", "inner_text"};
    for (const CDerivedXmlElement* from : {root, root->FindElement("c"), root->FindElement("e")}) {
        std::vector<const CDerivedXmlElement*> found(names.size(), root);
        from->FindElements(names, found);
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(found[i], from->FindElement(names[i])) << "from " << from->GetName() << ", name " << names[i];
        }
    }
    EXPECT_EQ(*FirstChildText(root->FindElement("b")), "1");

    // A shorter result list takes the first names only; nothing is written past it.
    std::vector<const CDerivedXmlElement*> two(3, root);
    root->FindElements(names, std::span(two).first(2));
    EXPECT_EQ(two, (std::vector<const CDerivedXmlElement*>{root->FindElement("b"), root, root}));

    // Only element entries of the element kind are elements.
    EXPECT_EQ(AsElement(CXmlFactory::GetInstance().CreateEntry(kXmlAttribute, "a").get()), nullptr);
    const CDerivedXmlText notAnElement(kXmlElement, "t");
    EXPECT_EQ(AsElement(&notAnElement), nullptr);
    EXPECT_EQ(AsElement(root), root);
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
        EXPECT_NE(error.message, "");
        EXPECT_EQ(parser.GetRoot(), nullptr);
        EXPECT_EQ(container.Size(), 0u);
    }
    CDerivedParser parser;
    EXPECT_EQ(parser.ParseResource(nullptr, 10, nullptr, "k"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorSetup);

    // Too deep a nesting is refused.
    const auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text = "<d>" + text + "</d>";
        return text;
    };
    EXPECT_EQ(parse(nested(300)), "error " + std::to_string(kXmlErrorNotWellFormed) + " at " +
                                      std::to_string(3 * CDerivedParser::kMaxDepth + 1));
    EXPECT_EQ(parse(nested(CDerivedParser::kMaxDepth)).substr(0, 2), "d{");
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
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorKeyInUse);
    EXPECT_EQ(container.Find("k")->GetName(), "a");

    TempDir dir;
    writeText(dir.file("s.xml"), "<s><x>1</x></s>");
    ASSERT_EQ(parser.ParseFile(dir.file("s.xml"), &container, "file"), 1);
    EXPECT_EQ(dump(container.Find("file")), "s{x{\"1\"}}");
    EXPECT_EQ(parser.ParseFile(dir.file("none.xml"), &container, "none"), 0);
    EXPECT_EQ(parser.GetLastError().code, kXmlErrorSetup);
}
