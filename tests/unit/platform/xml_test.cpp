#include "platform/xml.h"

#include "platform/fs.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace unitarc::xml {
namespace {

using test::TempDir;

// Catches what the library would print on stderr while a statement runs.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = ::dup(2);
        m_file = std::tmpfile();
        ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        std::string out;
        std::rewind(m_file);
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, m_file)) out.append(buf, n);
        return out;
    }

private:
    void restore() {
        if (m_saved < 0) return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

const std::string kBaseInfoUtf8 =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n"
    "<基本信息>\n"
    "  <BSJDWSBM name=\"被审计单位识别码\">A001</BSJDWSBM>\n"
    "  <BSJDWMC name=\"被审计单位名称\">啰镕实业有限公司</BSJDWMC>\n"
    "</基本信息>\n";

std::string gbkBytes(const std::string& utf8) {
    auto gbk = text::toGbk(utf8);
    EXPECT_TRUE(gbk);
    return gbk.value_or(std::string());
}

TEST(XmlLoad, Gb2312FileWithGbkOnlyCharactersLoadsWhole) {
    TempDir dir;
    ASSERT_TRUE(fs::writeFile(dir / "基本信息.xml", gbkBytes(kBaseInfoUtf8)));
    Document doc;
    ASSERT_TRUE(doc.loadFile(dir / "基本信息.xml")) << doc.error();
    EXPECT_EQ(doc.encoding(), "gb2312");
    const auto items = doc.documentElement().childNodes();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].text(), "啰镕实业有限公司");
    EXPECT_EQ(items[1].attribute("name"), "被审计单位名称");
}

TEST(XmlSave, Gb2312DocumentIsWrittenAsGbkBytes) {
    TempDir dir;
    ASSERT_TRUE(fs::writeFile(dir / "in.xml", gbkBytes(kBaseInfoUtf8)));
    Document doc;
    ASSERT_TRUE(doc.loadFile(dir / "in.xml")) << doc.error();
    ASSERT_TRUE(doc.save(dir / "out.xml"));
    std::string bytes;
    ASSERT_TRUE(fs::readFile(dir / "out.xml", bytes));
    EXPECT_NE(bytes.find("encoding=\"gb2312\""), std::string::npos);
    EXPECT_NE(bytes.find(gbkBytes("啰镕实业有限公司")), std::string::npos);
    EXPECT_EQ(bytes.find("啰"), std::string::npos);  // no UTF-8 under a gb2312 declaration

    Document again;
    ASSERT_TRUE(again.loadFile(dir / "out.xml")) << again.error();
    EXPECT_EQ(again.documentElement().childNodes()[1].text(), "啰镕实业有限公司");
}

TEST(XmlSave, CharacterOutsideGbkSurvivesAsReference) {
    TempDir dir;
    Document doc;
    doc.createRoot("r").setText("A\xF0\x9F\x98\x80Z");
    doc.setEncoding("gb2312");
    ASSERT_TRUE(doc.save(dir / "out.xml"));
    Document again;
    ASSERT_TRUE(again.loadFile(dir / "out.xml")) << again.error();
    EXPECT_EQ(again.documentElement().text(), "A\xF0\x9F\x98\x80Z");
}

TEST(XmlSave, UndeclaredDocumentIsUtf8) {
    TempDir dir;
    Document doc;
    doc.createRoot("文件描述").setAttribute("name", "文件描述");
    ASSERT_TRUE(doc.save(dir / "d.xml"));
    std::string bytes;
    ASSERT_TRUE(fs::readFile(dir / "d.xml", bytes));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(bytes.find("<文件描述 name=\"文件描述\"/>"), std::string::npos);
}

TEST(XmlLoad, Utf8FileLoads) {
    TempDir dir;
    ASSERT_TRUE(fs::writeFile(dir / "d.xml",
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><文件描述 name=\"文件描述\" nodeid=\"Ab12Cd34\">"
                              "<文件夹 name=\"所有文件\"/></文件描述>"));
    Document doc;
    ASSERT_TRUE(doc.loadFile(dir / "d.xml")) << doc.error();
    EXPECT_EQ(doc.encoding(), "UTF-8");
    EXPECT_EQ(doc.documentElement().name(), "文件描述");
    EXPECT_EQ(doc.documentElement().firstChild().attribute("name"), "所有文件");
}

TEST(XmlLoad, IndentationIsNotANode) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<r>\n  <a x=\"1\">\n    <b/>\n  </a>\r\n\t<c> </c>\n  <d> text </d>\n</r>")) << doc.error();
    const Node root = doc.documentElement();
    const auto children = root.childNodes();
    ASSERT_EQ(children.size(), 3u);
    for (const Node& child : children) EXPECT_TRUE(child.isElement());
    EXPECT_EQ(root.firstChild().attribute("x"), "1");
    EXPECT_EQ(root.firstChild().childNodes().size(), 1u);
    EXPECT_FALSE(children[1].hasChildNodes());
    EXPECT_EQ(children[1].text(), "");
    EXPECT_EQ(children[2].text(), " text ");  // text with content keeps its blanks
}

TEST(XmlLoad, MissingAttributeIsNullAndEmptyIsEmpty) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<r fileid=\"\"/>"));
    const Node r = doc.documentElement();
    EXPECT_EQ(r.attribute("fileid"), std::string());
    EXPECT_EQ(r.attribute("type"), std::nullopt);
    EXPECT_EQ(r.attributeOr("type", "CWSJ"), "CWSJ");
    EXPECT_EQ(r.attributeOr("fileid", "CWSJ"), "");
}

TEST(XmlLoad, TextIsTheWholeContent) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<r>a<b>b&amp;<![CDATA[<c>]]></b>d</r>"));
    EXPECT_EQ(doc.documentElement().text(), "ab&<c>d");
}

TEST(XmlLoad, TextDeclaringGb2312IsReadAsUtf8) {
    Document doc;
    ASSERT_TRUE(doc.loadText(kBaseInfoUtf8)) << doc.error();
    EXPECT_EQ(doc.encoding(), "gb2312");
    EXPECT_EQ(doc.documentElement().childNodes()[1].text(), "啰镕实业有限公司");
}

TEST(XmlLoad, TextWithoutDeclarationHasNoEncoding) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<r/>"));
    EXPECT_EQ(doc.encoding(), "");
}

TEST(XmlText, RoundTripThroughLoadText) {
    Document doc;
    ASSERT_TRUE(doc.loadText(kBaseInfoUtf8));
    doc.documentElement().childNodes()[0].setText("B<&>'\"002");
    const std::string text = doc.xmlText();
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>", 0), 0u);
    EXPECT_NE(text.find("啰镕实业有限公司"), std::string::npos);  // UTF-8 in memory

    Document again;
    ASSERT_TRUE(again.loadText(text)) << again.error();
    EXPECT_EQ(again.encoding(), "gb2312");
    const auto items = again.documentElement().childNodes();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text(), "B<&>'\"002");
    EXPECT_EQ(items[1].text(), "啰镕实业有限公司");
    EXPECT_EQ(again.xmlText(), text);
}

TEST(XmlText, StoredTextWrittenAsGbkLoadsFromFile) {
    // The basic information travels from the database to a package file in GBK bytes.
    Document doc;
    ASSERT_TRUE(doc.loadText(kBaseInfoUtf8));
    TempDir dir;
    ASSERT_TRUE(fs::writeFile(dir / "b.xml", gbkBytes(doc.xmlText())));
    Document file;
    ASSERT_TRUE(file.loadFile(dir / "b.xml")) << file.error();
    EXPECT_EQ(file.documentElement().childNodes()[1].text(), "啰镕实业有限公司");
}

TEST(XmlEdit, SetTextReplacesChildrenAndTakesCharactersLiterally) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<r><a>old<b/></a></r>"));
    Node a = doc.documentElement().firstChild();
    a.setText("&amp; <x/>");
    EXPECT_EQ(a.text(), "&amp; <x/>");
    ASSERT_EQ(a.childNodes().size(), 1u);
    EXPECT_TRUE(a.firstChild().isText());
    a.setText("");
    EXPECT_FALSE(a.hasChildNodes());
}

TEST(XmlEdit, AttributesAreSetLiterallyAndReplaced) {
    Document doc;
    Node root = doc.createRoot("文件描述");
    root.setAttribute("name", "a&amp;\"b");
    root.setAttribute("name", "c&amp;");
    EXPECT_EQ(root.attribute("name"), "c&amp;");
    root.setAttribute("bad name", "x");
    EXPECT_EQ(root.attribute("bad name"), std::nullopt);

    Document again;
    ASSERT_TRUE(again.loadText(doc.xmlText())) << again.error();
    EXPECT_EQ(again.documentElement().attribute("name"), "c&amp;");
}

TEST(XmlEdit, AddElementAppendsInOrder) {
    Document doc;
    Node root = doc.createRoot("文件描述");
    Node folder = root.addElement("文件夹");
    folder.setAttribute("filetag", "0");
    root.addElement("文件").setText("基本信息.xml");
    const auto children = root.childElements();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].name(), "文件夹");
    EXPECT_EQ(children[1].text(), "基本信息.xml");
    EXPECT_EQ(children[1].parent().name(), "文件描述");
    EXPECT_FALSE(root.parent());
    EXPECT_FALSE(root.addElement("not a name"));
}

TEST(XmlEdit, NullNodeIsHarmless) {
    Node none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.text(), "");
    EXPECT_EQ(none.attribute("x"), std::nullopt);
    EXPECT_TRUE(none.childNodes().empty());
    none.setText("x");
    none.setAttribute("x", "y");
    EXPECT_FALSE(none.addElement("x"));
}

TEST(XmlSafety, ExternalEntityIsNotRead) {
    TempDir dir;
    ASSERT_TRUE(fs::writeFile(dir / "secret.txt", "TOP-SECRET"));
    const std::string text = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + dir.path() +
                             "secret.txt\">]><r>&x;</r>";
    Document doc;
    const bool loaded = doc.loadText(text);
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(doc.error().empty());
    if (loaded) {
        EXPECT_EQ(doc.xmlText().find("TOP-SECRET"), std::string::npos);
    }
}

TEST(XmlSafety, ExternalParameterEntityIsNotRead) {
    Document doc;
    EXPECT_FALSE(doc.loadText("<!DOCTYPE r [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><r/>"));
}

TEST(XmlSafety, EntityLoopIsRefused) {
    std::string text = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    std::string previous = "lol";
    for (int i = 1; i <= 9; ++i) {
        const std::string name = "lol" + std::to_string(i);
        text += "<!ENTITY " + name + " \"" + std::string() + "&" + previous + ";&" + previous + ";&" + previous +
                ";&" + previous + ";&" + previous + ";&" + previous + ";&" + previous + ";&" + previous + ";&" +
                previous + ";&" + previous + ";\">";
        previous = name;
    }
    text += "]><lolz>&lol9;</lolz>";
    Document doc;
    EXPECT_FALSE(doc.loadText(text));
    EXPECT_FALSE(doc.isLoaded());
}

TEST(XmlSafety, DoctypeWithoutEntitiesIsAccepted) {
    Document doc;
    EXPECT_TRUE(doc.loadText("<!DOCTYPE r [<!ELEMENT r ANY>]><r>x</r>")) << doc.error();
}

struct BrokenCase {
    const char* name;
    const char* text;
};

class BrokenXml : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenXml, IsRefusedWithAnErrorAndNoNoise) {
    Document doc;
    ASSERT_TRUE(doc.loadText("<previous/>"));
    StderrCapture capture;
    EXPECT_FALSE(doc.loadText(GetParam().text));
    EXPECT_EQ(capture.text(), "");
    EXPECT_FALSE(doc.isLoaded());
    EXPECT_FALSE(doc.documentElement());
    EXPECT_FALSE(doc.error().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Xml, BrokenXml,
    testing::Values(BrokenCase{"Empty", ""}, BrokenCase{"Unclosed", "<r><a></r>"},
                    BrokenCase{"UndeclaredEntity", "<r>&nbsp;</r>"}, BrokenCase{"TwoRoots", "<a/><b/>"},
                    BrokenCase{"BadUtf8", "<r>\xC9\xF3</r>"}, BrokenCase{"JustText", "hello"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlLoad, MissingFileIsReported) {
    TempDir dir;
    Document doc;
    EXPECT_FALSE(doc.loadFile(dir / "missing.xml"));
    EXPECT_FALSE(doc.error().empty());
}

TEST(XmlDocument, MovesOwnership) {
    Document a;
    ASSERT_TRUE(a.loadText("<r/>"));
    Document b(std::move(a));
    EXPECT_TRUE(b.isLoaded());
    Document c;
    c = std::move(b);
    EXPECT_EQ(c.documentElement().name(), "r");
}

}  // namespace
}  // namespace unitarc::xml
