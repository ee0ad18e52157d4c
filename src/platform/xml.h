#pragma once
// A small DOM over libxml2 with the behaviour the system's documents expect:
// whitespace-only text is not a node, missing attributes read as null, gb2312 means GBK,
// and no external entity is ever read.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _xmlNode xmlNode;
typedef struct _xmlDoc xmlDoc;

namespace unitarc::xml {

// Registers the GBK alias for GB2312 once; called by every load and save.
void initialise();

// A node of a document: an element or a text node. A null Node is false.
class Node {
public:
    Node() = default;
    explicit Node(xmlNode* n) : m_node(n) {}
    explicit operator bool() const { return m_node != nullptr; }

    bool isElement() const;
    bool isText() const;
    std::string name() const;                 // element name, "" for text nodes
    std::string text() const;                 // all text content
    void setText(std::string_view text);      // replaces the content with one text node

    bool hasChildNodes() const;
    std::vector<Node> childNodes() const;     // elements and text, in order
    std::vector<Node> childElements() const;
    Node firstChild() const;
    Node parent() const;
    bool hasAttributes() const;

    std::optional<std::string> attribute(std::string_view name) const;  // nullopt when missing
    std::string attributeOr(std::string_view name, std::string_view fallback = {}) const;
    void setAttribute(std::string_view name, std::string_view value);

    Node addElement(std::string_view name);   // appended as last child

    xmlNode* raw() const { return m_node; }

private:
    xmlNode* m_node = nullptr;
};

class Document {
public:
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Safe parsing: no network, no entity expansion, no DTD loading; entity loops refused.
    // On failure the document is empty and error() says why.
    // A file is decoded by its declaration (gb2312 read as GBK). Text in memory is always
    // UTF-8, whatever its declaration names, as a DOM's loadXML of a string.
    bool loadFile(const std::string& path);
    bool loadText(std::string_view text);
    const std::string& error() const { return m_error; }

    bool isLoaded() const { return m_doc != nullptr; }
    Node documentElement() const;
    Node createRoot(std::string_view name);   // a new document with this element

    std::string encoding() const;             // as declared, "" when none
    void setEncoding(std::string_view encoding);

    bool save(const std::string& path) const;  // in the declared encoding (UTF-8 when none)
    // The whole document as UTF-8 text; its declaration still names the declared encoding.
    std::string xmlText() const;

private:
    xmlDoc* m_doc = nullptr;
    std::string m_error;
};

}  // namespace unitarc::xml
