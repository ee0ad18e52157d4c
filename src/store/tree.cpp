#include "store/tree.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "store/schema.h"

namespace unitarc::store {

TreeNode::~TreeNode() {
    // A chain of thousands of folders would otherwise recurse once per level.
    std::vector<std::unique_ptr<TreeNode>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<TreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_children) pending.push_back(std::move(child));
        node->m_children.clear();
    }
}

int TreeNode::level() const {
    int level = 0;
    for (const TreeNode* p = m_parent; p; p = p->m_parent) ++level;
    return level;
}

TreeNode* TreeNode::addChild(std::string text) {
    auto node = std::make_unique<TreeNode>();
    node->text = std::move(text);
    node->m_parent = this;
    node->m_index = m_children.size();
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

TreeNode* TreeNode::firstChild() const { return m_children.empty() ? nullptr : m_children.front().get(); }

TreeNode* TreeNode::nextSibling() const {
    if (!m_parent) return nullptr;
    const auto& siblings = m_parent->m_children;
    return m_index + 1 < siblings.size() ? siblings[m_index + 1].get() : nullptr;
}

int TreeNode::index() const { return static_cast<int>(m_index); }

void TreeNode::clearChildren() { m_children.clear(); }

TreeNode* Tree::addRoot(std::string text) {
    auto node = std::make_unique<TreeNode>();
    node->text = std::move(text);
    node->m_index = roots.size();
    roots.push_back(std::move(node));
    return roots.back().get();
}

namespace {

// Pre-order over every node below `node` (not the node itself).
template <typename Visit>
void forEachBelow(TreeNode* node, Visit&& visit) {
    std::vector<TreeNode*> stack;
    for (auto it = node->children().rbegin(); it != node->children().rend(); ++it) stack.push_back(it->get());
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        visit(n);
        for (auto it = n->children().rbegin(); it != n->children().rend(); ++it) stack.push_back(it->get());
    }
}

}  // namespace

std::size_t Tree::count() const {
    std::size_t n = 0;
    for (const auto& root : roots) {
        ++n;
        forEachBelow(root.get(), [&n](TreeNode*) { ++n; });
    }
    return n;
}

TreeNode* findNode(TreeNode* node, const std::string& key, int level, SearchMode mode) {
    if (!node) return nullptr;
    const auto suits = [level, mode](int l) {
        if (level == -1) return true;
        switch (mode) {
            case SearchMode::Shallower: return l < level;
            case SearchMode::Same: return l == level;
            case SearchMode::Deeper: return l > level;
        }
        return false;
    };
    // Walked without recursion: a long row of siblings must not exhaust the stack.
    const int startLevel = node->level();
    TreeNode* current = node;
    int depth = startLevel;
    while (current) {
        if (current->record && current->record->key == key && suits(depth)) return current;
        if (TreeNode* child = current->firstChild()) {
            current = child;
            ++depth;
            continue;
        }
        for (;;) {
            if (TreeNode* sibling = current->nextSibling()) {
                current = sibling;
                break;
            }
            if (depth == startLevel) return nullptr;
            current = current->parent();
            --depth;
        }
    }
    return nullptr;
}

TreeNode* addNode(TreeNode* parent, const std::string& key, int kind, const std::string& name, int fileTag,
                  int image) {
    auto record = std::make_unique<NodeRecord>(NodeRecord{key, kind, name, fileTag});
    TreeNode* node = nullptr;
    for (const auto& child : parent->children()) {
        if (child->text == name) {
            node = child.get();
            break;
        }
    }
    if (!node) node = parent->addChild(name);
    node->record = std::move(record);
    node->image = image;
    return node;
}

namespace {

// The builder gives the same tree as searching the whole subtree for every row, in linear time:
// the nodes that the search could find are indexed by key, the children of each parent by
// text, and parent rows by key.
// Each key's nodes stay in pre-order, so the first is the one the search would find: the
// index starts in pre-order, and a key is only given to a second node while a chain of
// missing parents is created, each new node below the one made before it.
class Builder {
public:
    Builder(TreeNode* top, const std::vector<CategoryRow>& rows, int kind)
        : m_top(top), m_rows(rows), m_kind(kind), m_mark(rows.size(), 0) {
        m_firstRow.reserve(rows.size());
        m_byKey.reserve(rows.size());
        m_byText.reserve(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) m_firstRow.emplace(rows[i].key, i);
        // What the deeper search from the top can reach: its subtree and those of its following siblings.
        for (TreeNode* n = top; n; n = n->nextSibling())
            forEachBelow(n, [this](TreeNode* below) { indexKey(below); });
    }

    bool run(std::string* failure) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (!ensure(i)) {
                if (failure) *failure = "创建节点[" + m_rows[i].name + "]失败！";
                return false;
            }
        }
        return true;
    }

private:
    TreeNode* ensure(std::size_t row) {
        ++m_generation;
        m_chain.assign(1, row);
        m_mark[row] = m_generation;
        TreeNode* base = nullptr;
        for (;;) {
            const CategoryRow& r = m_rows[m_chain.back()];
            if (TreeNode* existing = search(r.key)) {
                base = existing;
                m_chain.pop_back();
                break;
            }
            if (schema::isTopParent(r.parent)) {
                TreeNode* parent = search(r.parent);
                base = add(parent ? parent : m_top, r);
                m_chain.pop_back();
                break;
            }
            const auto found = m_firstRow.find(r.parent);
            if (found == m_firstRow.end()) return nullptr;
            // A row met again on the way up means the parent keys loop: it can never be placed.
            if (m_mark[found->second] == m_generation) return nullptr;
            m_mark[found->second] = m_generation;
            m_chain.push_back(found->second);
        }
        while (!m_chain.empty()) {
            base = add(base, m_rows[m_chain.back()]);
            m_chain.pop_back();
        }
        return base;
    }

    TreeNode* search(const std::string& key) const {
        const auto it = m_byKey.find(key);
        return it == m_byKey.end() ? nullptr : it->second.front();
    }

    TreeNode* add(TreeNode* parent, const CategoryRow& row) {
        scanChildren(parent);
        TreeNode* node = nullptr;
        if (const auto it = m_byText.find({parent, row.name}); it != m_byText.end()) {
            node = it->second;
            unindexKey(node);
        } else {
            node = parent->addChild(row.name);
            m_byText.emplace(ChildText{parent, node->text}, node);
        }
        node->record = std::make_unique<NodeRecord>(NodeRecord{row.key, m_kind, row.name, row.fileTag});
        node->image = row.image;
        indexKey(node);
        return node;
    }

    // The children a parent had before the builder came to it; the first of each text is the
    // one the merge takes.
    void scanChildren(TreeNode* parent) {
        if (!m_scanned.insert(parent).second) return;
        for (const auto& child : parent->children()) m_byText.emplace(ChildText{parent, child->text}, child.get());
    }

    // The nodes of one key in pre-order; most keys have one.
    struct Nodes {
        std::vector<TreeNode*> all;
        TreeNode* front() const { return all.front(); }
    };

    void indexKey(TreeNode* node) {
        if (node->record) m_byKey[node->record->key].all.push_back(node);
    }
    void unindexKey(TreeNode* node) {
        if (!node->record) return;
        const auto it = m_byKey.find(node->record->key);
        if (it == m_byKey.end()) return;
        std::erase(it->second.all, node);
        if (it->second.all.empty()) m_byKey.erase(it);
    }

    struct ChildText {
        TreeNode* parent;
        std::string_view text;  // the child's own text, which never changes
        bool operator==(const ChildText&) const = default;
    };
    struct ChildTextHash {
        std::size_t operator()(const ChildText& c) const {
            return std::hash<std::string_view>()(c.text) ^ (std::hash<TreeNode*>()(c.parent) * 0x9E3779B97F4A7C15ull);
        }
    };

    TreeNode* m_top;
    const std::vector<CategoryRow>& m_rows;
    int m_kind;
    std::vector<std::size_t> m_mark;
    std::size_t m_generation = 0;
    std::vector<std::size_t> m_chain;
    std::unordered_map<std::string, std::size_t> m_firstRow;
    std::unordered_map<std::string, Nodes> m_byKey;
    std::unordered_map<ChildText, TreeNode*, ChildTextHash> m_byText;
    std::unordered_set<TreeNode*> m_scanned;
};

}  // namespace

bool buildCategoryTree(TreeNode* parent, const std::vector<CategoryRow>& rows, int kind, std::string* failure) {
    if (!parent) return false;
    return Builder(parent, rows, kind).run(failure);
}

bool buildCategoryTree(TreeNode* parent, db::Query& query, int kind, const BuilderFields& fields,
                       std::string* failure) {
    if (!parent) return false;
    if (!query.isOpen()) throw db::Error("the query of the category tree builder is not open");
    const std::size_t count = query.recordCount();
    std::vector<CategoryRow> rows;
    rows.reserve(count);
    if (count > 0) {
        const auto column = [&query](const std::string& name) {
            const int index = query.fieldIndex(name);
            if (index < 0) throw db::Error("no field " + name);
            return static_cast<std::size_t>(index);
        };
        const std::size_t key = column(fields.key), parentKey = column(fields.parent), name = column(fields.name),
                          image = column(fields.image), fileTag = column("FileTag");
        for (std::size_t r = 0; r < count; ++r) {
            rows.push_back({db::valueText(query.valueAt(r, key)), db::valueText(query.valueAt(r, parentKey)),
                            db::valueText(query.valueAt(r, name)),
                            static_cast<int>(db::valueInt(query.valueAt(r, image))),
                            static_cast<int>(db::valueInt(query.valueAt(r, fileTag)))});
        }
    }
    return buildCategoryTree(parent, rows, kind, failure);
}

}  // namespace unitarc::store
