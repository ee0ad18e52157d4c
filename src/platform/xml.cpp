#include "platform/xml.h"

#include "platform/fs.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <mutex>

namespace unitarc::xml {

namespace {

const xmlChar* xc(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

std::string str(const xmlChar* s) { return s ? std::string(reinterpret_cast<const char*>(s)) : std::string(); }

// Owns a string that libxml2 allocated.
std::string takeString(xmlChar* s) {
    std::string out = str(s);
    xmlFree(s);
    return out;
}

struct ParserCtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtFree>;

struct BufferFree {
    void operator()(xmlBuffer* b) const { xmlBufferFree(b); }
};

// What one parse reports: the first error, and whether the document declared an entity.
struct ParseState {
    std::string firstError;
    bool entityDeclared = false;
};

void collectError(void* data, xmlErrorPtr error) {
    auto* state = static_cast<ParseState*>(data);
    if (!state || !error || error->level < XML_ERR_ERROR || !state->firstError.empty()) return;
    std::string message = error->message ? error->message : "unknown error";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    state->firstError = "line " + std::to_string(error->line) + ": " + message;
}

// Errors raised outside a parser context (encodings, output) go to the thread's
// structured handler: route them to the state while one call runs, never to stderr.
class ScopedErrorHandler {
public:
    explicit ScopedErrorHandler(ParseState* state)
        : m_oldHandler(xmlStructuredError), m_oldContext(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(state, collectError);
    }
    ~ScopedErrorHandler() { xmlSetStructuredErrorFunc(m_oldContext, m_oldHandler); }
    ScopedErrorHandler(const ScopedErrorHandler&) = delete;
    ScopedErrorHandler& operator=(const ScopedErrorHandler&) = delete;

private:
    xmlStructuredErrorFunc m_oldHandler;
    void* m_oldContext;
};

// Any entity declaration stops the parse before an entity can be expanded or fetched:
// the system's documents have none, and this refuses entity loops and external
// entities whatever the parser's own limits are.
ParseState* stateOf(void* ctx) {
    auto* ctxt = static_cast<xmlParserCtxt*>(ctx);
    return ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
}

void refuseEntity(void* ctx) {
    if (ParseState* state = stateOf(ctx)) state->entityDeclared = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
}

void onEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) { refuseEntity(ctx); }

void onUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
    refuseEntity(ctx);
}

void onParserError(void* ctx, xmlErrorPtr error) { collectError(stateOf(ctx), error); }

bool isBlank(const xmlChar* s) {
    if (!s) return true;
    for (; *s; ++s)
        if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
    return true;
}

// Whitespace-only text is not a node in the documents the system reads.
void dropBlankText(xmlNode* node) {
    for (xmlNode* child = node->children; child;) {
        xmlNode* next = child->next;
        if (child->type == XML_TEXT_NODE && isBlank(child->content)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            dropBlankText(child);
        }
        child = next;
    }
}

bool isContentNode(const xmlNode* n) {
    return n->type == XML_ELEMENT_NODE || n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE;
}

// The encoding named by the XML declaration at the start of the text, "" when none.
std::string declaredEncoding(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.substr(0, 5) != "<?xml") return {};
    const std::size_t end = text.find("?>");
    if (end == std::string_view::npos) return {};
    const std::string_view decl = text.substr(0, end);
    std::size_t pos = decl.find("encoding");
    if (pos == std::string_view::npos) return {};
    pos += 8;
    while (pos < decl.size() && (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' || decl[pos] == '\n')) ++pos;
    if (pos >= decl.size() || decl[pos] != '=') return {};
    ++pos;
    while (pos < decl.size() && (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' || decl[pos] == '\n')) ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {};
    const char quote = decl[pos++];
    const std::size_t close = decl.find(quote, pos);
    if (close == std::string_view::npos) return {};
    return std::string(decl.substr(pos, close - pos));
}

std::string qualifiedName(const xmlChar* name, const xmlNs* ns) {
    if (ns && ns->prefix) return str(ns->prefix) + ":" + str(name);
    return str(name);
}

}  // namespace

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // GBK is a superset of GB2312: documents declared gb2312 keep characters such as 啰.
        xmlAddEncodingAlias("GBK", "GB2312");
    });
}

// ---- Node ----

bool Node::isElement() const { return m_node && m_node->type == XML_ELEMENT_NODE; }

bool Node::isText() const {
    return m_node && (m_node->type == XML_TEXT_NODE || m_node->type == XML_CDATA_SECTION_NODE);
}

std::string Node::name() const { return isElement() ? qualifiedName(m_node->name, m_node->ns) : std::string(); }

std::string Node::text() const { return m_node ? takeString(xmlNodeGetContent(m_node)) : std::string(); }

void Node::setText(std::string_view text) {
    if (!m_node) return;
    if (!isElement()) {
        xmlNodeSetContentLen(m_node, nullptr, 0);
        if (!text.empty())
            xmlNodeAddContentLen(m_node, reinterpret_cast<const xmlChar*>(text.data()), static_cast<int>(text.size()));
        return;
    }
    while (xmlNode* child = m_node->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return;
    // A text node holds the characters as they are; the writer escapes them.
    xmlNode* t = xmlNewDocTextLen(m_node->doc, reinterpret_cast<const xmlChar*>(text.data()), static_cast<int>(text.size()));
    if (t && !xmlAddChild(m_node, t)) xmlFreeNode(t);
}

bool Node::hasChildNodes() const { return static_cast<bool>(firstChild()); }

std::vector<Node> Node::childNodes() const {
    std::vector<Node> out;
    if (!isElement()) return out;
    for (xmlNode* c = m_node->children; c; c = c->next)
        if (isContentNode(c)) out.emplace_back(c);
    return out;
}

std::vector<Node> Node::childElements() const {
    std::vector<Node> out;
    if (!isElement()) return out;
    for (xmlNode* c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) out.emplace_back(c);
    return out;
}

Node Node::firstChild() const {
    if (!isElement()) return Node();
    for (xmlNode* c = m_node->children; c; c = c->next)
        if (isContentNode(c)) return Node(c);
    return Node();
}

Node Node::parent() const {
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE) return Node();
    return Node(m_node->parent);
}

bool Node::hasAttributes() const { return isElement() && m_node->properties != nullptr; }

std::optional<std::string> Node::attribute(std::string_view name) const {
    if (!isElement()) return std::nullopt;
    for (xmlAttr* a = m_node->properties; a; a = a->next) {
        if (qualifiedName(a->name, a->ns) == name) return takeString(xmlNodeGetContent(reinterpret_cast<xmlNode*>(a)));
    }
    return std::nullopt;
}

std::string Node::attributeOr(std::string_view name, std::string_view fallback) const {
    auto value = attribute(name);
    return value ? std::move(*value) : std::string(fallback);
}

void Node::setAttribute(std::string_view name, std::string_view value) {
    if (!isElement()) return;
    const std::string n(name);
    const std::string v(value);
    for (xmlAttr* a = m_node->properties; a; a = a->next) {
        if (qualifiedName(a->name, a->ns) == name) {
            // xmlSetNsProp stores the value as plain text (no entity parsing).
            xmlSetNsProp(m_node, a->ns, a->name, xc(v.c_str()));
            return;
        }
    }
    if (xmlValidateName(xc(n.c_str()), 0) != 0) return;
    xmlSetProp(m_node, xc(n.c_str()), xc(v.c_str()));
}

Node Node::addElement(std::string_view name) {
    if (!isElement()) return Node();
    const std::string n(name);
    if (xmlValidateName(xc(n.c_str()), 0) != 0) return Node();
    xmlNode* e = xmlNewDocNode(m_node->doc, nullptr, xc(n.c_str()), nullptr);
    if (!e) return Node();
    if (!xmlAddChild(m_node, e)) {
        xmlFreeNode(e);
        return Node();
    }
    return Node(e);
}

// ---- Document ----

Document::Document() { initialise(); }

Document::~Document() {
    if (m_doc) xmlFreeDoc(m_doc);
}

Document::Document(Document&& other) noexcept : m_doc(other.m_doc), m_error(std::move(other.m_error)) {
    other.m_doc = nullptr;
}

Document& Document::operator=(Document&& other) noexcept {
    if (this != &other) {
        if (m_doc) xmlFreeDoc(m_doc);
        m_doc = other.m_doc;
        m_error = std::move(other.m_error);
        other.m_doc = nullptr;
    }
    return *this;
}

namespace {

// Parses bytes into a document with the safe options; nullptr and an error text on failure.
// With a forced encoding the declaration's encoding is ignored.
xmlDoc* parse(std::string_view bytes, const char* url, const char* forcedEncoding, std::string& error) {
    initialise();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error = "document too large";
        return nullptr;
    }
    ParseState state;
    ScopedErrorHandler handler(&state);
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax) {
        error = "out of memory";
        return nullptr;
    }
    ctxt->_private = &state;
    ctxt->sax->entityDecl = onEntityDecl;
    ctxt->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    ctxt->sax->serror = onParserError;
    ctxt->sax->initialized = XML_SAX2_MAGIC;

    int options = XML_PARSE_NONET;
    if (forcedEncoding) options |= XML_PARSE_IGNORE_ENC;
    xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), url, forcedEncoding,
                                    options);
    if (state.entityDeclared) {
        if (doc) xmlFreeDoc(doc);
        error = "entity declarations are not accepted";
        return nullptr;
    }
    if (!doc || !ctxt->wellFormed) {
        if (doc) xmlFreeDoc(doc);
        error = state.firstError.empty() ? std::string("not a well-formed document") : state.firstError;
        return nullptr;
    }
    if (!xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        error = "no document element";
        return nullptr;
    }
    for (xmlNode* n = doc->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) dropBlankText(n);
    return doc;
}

}  // namespace

bool Document::loadFile(const std::string& path) {
    if (m_doc) xmlFreeDoc(m_doc);
    m_doc = nullptr;
    m_error.clear();
    std::string bytes;
    // Read here rather than by the parser: no compressed input, no URL handling.
    if (!fs::readFile(path, bytes)) {
        m_error = "cannot read " + path;
        return false;
    }
    m_doc = parse(bytes, path.c_str(), nullptr, m_error);
    return m_doc != nullptr;
}

bool Document::loadText(std::string_view text) {
    if (m_doc) xmlFreeDoc(m_doc);
    m_doc = nullptr;
    m_error.clear();
    m_doc = parse(text, nullptr, "UTF-8", m_error);
    if (m_doc) setEncoding(declaredEncoding(text));
    return m_doc != nullptr;
}

Node Document::documentElement() const { return m_doc ? Node(xmlDocGetRootElement(m_doc)) : Node(); }

Node Document::createRoot(std::string_view name) {
    initialise();
    const std::string n(name);
    if (xmlValidateName(xc(n.c_str()), 0) != 0) return Node();
    xmlDoc* doc = xmlNewDoc(xc("1.0"));
    if (!doc) return Node();
    xmlNode* root = xmlNewDocNode(doc, nullptr, xc(n.c_str()), nullptr);
    if (!root) {
        xmlFreeDoc(doc);
        return Node();
    }
    xmlDocSetRootElement(doc, root);
    if (m_doc) xmlFreeDoc(m_doc);
    m_doc = doc;
    m_error.clear();
    return Node(root);
}

std::string Document::encoding() const { return m_doc ? str(m_doc->encoding) : std::string(); }

void Document::setEncoding(std::string_view encoding) {
    if (!m_doc) return;
    if (m_doc->encoding) xmlFree(const_cast<xmlChar*>(m_doc->encoding));
    m_doc->encoding = nullptr;
    if (!encoding.empty()) {
        const std::string e(encoding);
        m_doc->encoding = xmlStrdup(xc(e.c_str()));
    }
}

bool Document::save(const std::string& path) const {
    if (!m_doc) return false;
    initialise();
    ParseState state;
    ScopedErrorHandler handler(&state);
    const std::string enc = encoding();
    // An encoding the writer does not know would fall back to UTF-8 under a false declaration.
    if (!enc.empty()) {
        xmlCharEncodingHandler* known = xmlFindCharEncodingHandler(enc.c_str());
        if (!known) return false;
        xmlCharEncCloseFunc(known);
    }
    // Without a name the writer would turn every non-ASCII character into a reference.
    const int written = xmlSaveFormatFileEnc(path.c_str(), m_doc, enc.empty() ? "UTF-8" : enc.c_str(), 1);
    return written >= 0;
}

std::string Document::xmlText() const {
    if (!m_doc) return {};
    initialise();
    ParseState state;
    ScopedErrorHandler handler(&state);
    std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (!buffer) return {};
    // The body is written as UTF-8 without a declaration; the declaration keeps the declared name.
    xmlSaveCtxt* save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL);
    if (!save) return {};
    const long rc = xmlSaveDoc(save, m_doc);
    xmlSaveClose(save);
    if (rc < 0) return {};
    std::string out = "<?xml version=\"" + (m_doc->version ? str(m_doc->version) : std::string("1.0")) + "\"";
    const std::string enc = encoding();
    if (!enc.empty()) out += " encoding=\"" + enc + "\"";
    out += "?>\n";
    out.append(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
               static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    return out;
}

}  // namespace unitarc::xml
