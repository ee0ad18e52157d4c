#pragma once
// The management tree as plain data: built by the core, shown by the windows through a model,
// printed by the command-line tool.
#include <memory>
#include <string>
#include <vector>

#include "platform/db.h"

namespace unitarc::store {

struct NodeRecord {
    std::string key;
    int kind = 0;
    std::string name;
    int fileTag = 0;
};

class TreeNode {
public:
    TreeNode() = default;
    ~TreeNode();  // frees the subtree without recursing through it
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    std::string text;
    int image = 0;
    std::unique_ptr<NodeRecord> record;

    TreeNode* parent() const { return m_parent; }
    int level() const;                                  // the root is 0
    const std::vector<std::unique_ptr<TreeNode>>& children() const { return m_children; }
    TreeNode* addChild(std::string text);               // appended as last child
    TreeNode* firstChild() const;
    TreeNode* nextSibling() const;                      // none for a root
    int index() const;                                  // among its parent's children
    void clearChildren();

private:
    friend class Tree;
    TreeNode* m_parent = nullptr;
    std::size_t m_index = 0;  // among the parent's children; children are only ever appended
    std::vector<std::unique_ptr<TreeNode>> m_children;
};

// A forest of root nodes (the management tree has one root: the project).
class Tree {
public:
    std::vector<std::unique_ptr<TreeNode>> roots;
    TreeNode* addRoot(std::string text);
    TreeNode* firstNode() const { return roots.empty() ? nullptr : roots.front().get(); }
    void clear() { roots.clear(); }
    std::size_t count() const;
};

enum class SearchMode { Shallower, Same, Deeper };

// Pre-order search from node: node, its subtree, its following siblings and their subtrees.
// A node matches when its record's key equals key and its level suits `level` in `mode`
// (any level when level is -1).
TreeNode* findNode(TreeNode* node, const std::string& key, int level, SearchMode mode);

struct BuilderFields {
    std::string name = "Name", key = "DirID", parent = "PDirID", image = "ImageIndex";
};

// Category tree builder: every row of the open query becomes a node below `parent`; a
// parent row listed after its child is created on the way. A row whose node cannot be made
// stops the builder: false, and the text "创建节点[" + name + "]失败！" in *failure.
bool buildCategoryTree(TreeNode* parent, db::Query& query, int kind, const BuilderFields& fields,
                       std::string* failure);

// One row as the builder reads it from the query.
struct CategoryRow {
    std::string key, parent, name;
    int image = 0;
    int fileTag = 0;
};
// The builder over rows already read, in query order (the query form reads them, then calls this).
bool buildCategoryTree(TreeNode* parent, const std::vector<CategoryRow>& rows, int kind, std::string* failure);

// Adds a node under parent, or takes over the child whose text equals name exactly.
TreeNode* addNode(TreeNode* parent, const std::string& key, int kind, const std::string& name,
                  int fileTag, int image);

}  // namespace unitarc::store
