#include "store/tree.h"

#include <sqlite3.h>

#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace unitarc::store {
namespace {

const std::vector<std::string> kCategoryNames = {"财务数据", "财务资料", "业务资料", "审计资料"};

// The tree as text, one node per line, indented by level: text [key kind name fileTag] image.
void dump(const TreeNode* node, int depth, std::string& out) {
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node->text;
    if (node->record)
        out += " [" + node->record->key + " " + std::to_string(node->record->kind) + " " + node->record->name + " " +
               std::to_string(node->record->fileTag) + "]";
    out += " " + std::to_string(node->image) + "\n";
    for (const auto& child : node->children()) dump(child.get(), depth + 1, out);
}

std::string dump(const TreeNode* node) {
    std::string out;
    dump(node, 0, out);
    return out;
}

TreeNode* withRecord(TreeNode* node, const std::string& key, int kind = 0, int image = 0) {
    node->record = std::make_unique<NodeRecord>(NodeRecord{key, kind, node->text, 0});
    node->image = image;
    return node;
}

// The management tree's frame: a project root with one entity, its basic information and the
// four category nodes that wait for their root rows.
struct EntityFrame {
    Tree tree;
    TreeNode* root = nullptr;
    TreeNode* entity = nullptr;

    EntityFrame() {
        root = withRecord(tree.addRoot("项目"), "P2026001", 0, 2);
        entity = addEntity("E001", "甲公司");
    }
    TreeNode* addEntity(const std::string& code, const std::string& name) {
        TreeNode* e = withRecord(root->addChild(name), code, 1, 5);
        withRecord(e->addChild("基本信息"), code + "01", 2, 4);
        for (std::size_t i = 0; i < kCategoryNames.size(); ++i)
            withRecord(e->addChild(kCategoryNames[i]), "-1", static_cast<int>(i) + 3, 0);
        return e;
    }
};

CategoryRow row(std::string key, std::string parent, std::string name, int image = 0, int fileTag = 0) {
    return {std::move(key), std::move(parent), std::move(name), image, fileTag};
}

// --- the tree itself

TEST(TreeNode, knowsLevelIndexAndSiblings) {
    Tree tree;
    TreeNode* root = tree.addRoot("r");
    TreeNode* a = root->addChild("a");
    TreeNode* b = root->addChild("b");
    TreeNode* b1 = b->addChild("b1");

    EXPECT_EQ(root->level(), 0);
    EXPECT_EQ(b1->level(), 2);
    EXPECT_EQ(b->index(), 1);
    EXPECT_EQ(a->nextSibling(), b);
    EXPECT_EQ(b->nextSibling(), nullptr);
    EXPECT_EQ(root->nextSibling(), nullptr);
    EXPECT_EQ(root->firstChild(), a);
    EXPECT_EQ(b1->parent(), b);
    EXPECT_EQ(tree.count(), 4u);

    b->clearChildren();
    EXPECT_EQ(tree.count(), 3u);
}

// --- node search

// r(R) / a(A) / a1(X) ; b(B) / b1(X), b2(Y) / b21(X) ; c(X) ; d (no record) / d1(Z)
class NodeSearch : public ::testing::Test {
protected:
    NodeSearch() {
        r = withRecord(tree.addRoot("r"), "R");
        a = withRecord(r->addChild("a"), "A");
        a1 = withRecord(a->addChild("a1"), "X");
        b = withRecord(r->addChild("b"), "B");
        b1 = withRecord(b->addChild("b1"), "X");
        b2 = withRecord(b->addChild("b2"), "Y");
        b21 = withRecord(b2->addChild("b21"), "X");
        c = withRecord(r->addChild("c"), "X");
        d = r->addChild("d");
        d1 = withRecord(d->addChild("d1"), "Z");
    }
    Tree tree;
    TreeNode *r, *a, *a1, *b, *b1, *b2, *b21, *c, *d, *d1;
};

struct SearchCase {
    std::string label;
    std::string start;
    std::string key;
    int level;
    SearchMode mode;
    std::string expected;  // the found node's text, "" for none
};

class NodeSearchCases : public NodeSearch, public ::testing::WithParamInterface<SearchCase> {
protected:
    TreeNode* byText(const std::string& text) {
        for (TreeNode* n : {r, a, a1, b, b1, b2, b21, c, d, d1})
            if (n->text == text) return n;
        return nullptr;
    }
};

TEST_P(NodeSearchCases, findsTheFirstMatchInPreOrder) {
    const SearchCase& s = GetParam();
    TreeNode* found = findNode(byText(s.start), s.key, s.level, s.mode);
    EXPECT_EQ(found ? found->text : std::string(), s.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, NodeSearchCases,
    ::testing::Values(SearchCase{"anyLevelTakesFirstInPreOrder", "r", "X", -1, SearchMode::Same, "a1"},
                      SearchCase{"sameLevel", "r", "X", 1, SearchMode::Same, "c"},
                      SearchCase{"deeperThanTwo", "r", "X", 2, SearchMode::Deeper, "b21"},
                      SearchCase{"shallowerThanTwo", "r", "X", 2, SearchMode::Shallower, "c"},
                      SearchCase{"deeperThanStartSkipsStart", "c", "X", 1, SearchMode::Deeper, ""},
                      SearchCase{"startItselfMatches", "c", "X", -1, SearchMode::Deeper, "c"},
                      SearchCase{"followingSiblingSubtree", "a", "Y", -1, SearchMode::Same, "b2"},
                      SearchCase{"precedingSiblingNotSearched", "b", "A", -1, SearchMode::Same, ""},
                      SearchCase{"neverClimbsAboveStart", "a1", "Y", -1, SearchMode::Same, ""},
                      SearchCase{"belowNodeWithoutRecord", "c", "Z", -1, SearchMode::Same, "d1"},
                      SearchCase{"keyComparedExactly", "r", "x", -1, SearchMode::Same, ""},
                      SearchCase{"fromNone", "", "X", -1, SearchMode::Same, ""}),
    [](const auto& info) { return info.param.label; });

// --- add node

TEST(AddNode, takesOverFirstChildOfTheSameTextKeepingItsPlace) {
    EntityFrame f;
    TreeNode* category = f.entity->children()[2].get();

    TreeNode* node = addNode(f.entity, "ROOT", 4, "财务资料", 0, 9);

    EXPECT_EQ(node, category);
    EXPECT_EQ(f.entity->children().size(), 5u);
    EXPECT_EQ(node->record->key, "ROOT");
    EXPECT_EQ(node->record->kind, 4);
    EXPECT_EQ(node->image, 9);
}

TEST(AddNode, appendsNewLastChildForANewText) {
    EntityFrame f;
    TreeNode* node = addNode(f.entity, "K", 4, "其他", 1, 7);

    EXPECT_EQ(f.entity->children().back().get(), node);
    EXPECT_EQ(node->text, "其他");
    EXPECT_EQ(node->record->fileTag, 1);
    EXPECT_EQ(node->image, 7);
}

// --- the category tree builder

std::string build(EntityFrame& f, const std::vector<CategoryRow>& rows, int kind, bool* ok = nullptr,
                  std::string* failure = nullptr) {
    std::string text;
    const bool result = buildCategoryTree(f.entity, rows, kind, failure ? failure : &text);
    if (ok) *ok = result;
    return dump(f.entity);
}

TEST(CategoryBuilder, rootRowMergesIntoCategoryNodeAndTakesItsChildren) {
    EntityFrame f;
    bool ok = false;
    const std::string tree = build(f, {row("R", "", "财务资料"), row("A", "R", "凭证", 1, 1)}, 4, &ok);

    EXPECT_TRUE(ok);
    EXPECT_EQ(tree,
              "甲公司 [E001 1 甲公司 0] 5\n"
              "  基本信息 [E00101 2 基本信息 0] 4\n"
              "  财务数据 [-1 3 财务数据 0] 0\n"
              "  财务资料 [R 4 财务资料 0] 0\n"
              "    凭证 [A 4 凭证 1] 1\n"
              "  业务资料 [-1 5 业务资料 0] 0\n"
              "  审计资料 [-1 6 审计资料 0] 0\n");
}

TEST(CategoryBuilder, rootRowOfAnotherNameBecomesExtraChildAfterTheCategories) {
    EntityFrame f;
    build(f, {row("R", "", "旧资料")}, 4);

    ASSERT_EQ(f.entity->children().size(), 6u);
    EXPECT_EQ(f.entity->children().back()->text, "旧资料");
    EXPECT_EQ(f.entity->children()[2]->record->key, "-1");
}

TEST(CategoryBuilder, childListedBeforeItsParentEndsUnderIt) {
    EntityFrame f;
    bool ok = false;
    build(f, {row("C", "B", "孙"), row("B", "R", "子"), row("R", "", "业务资料")}, 5, &ok);

    EXPECT_TRUE(ok);
    TreeNode* category = f.entity->children()[3].get();
    ASSERT_EQ(category->record->key, "R");
    ASSERT_EQ(category->children().size(), 1u);
    TreeNode* child = category->children()[0].get();
    EXPECT_EQ(child->text, "子");
    ASSERT_EQ(child->children().size(), 1u);
    EXPECT_EQ(child->children()[0]->text, "孙");
}

TEST(CategoryBuilder, twoRowsOfOneNameShowAsOneNodeWithTheLaterRecord) {
    EntityFrame f;
    build(f, {row("R", "", "审计资料"), row("A", "R", "底稿", 8, 1), row("B", "R", "底稿", 12, 0)}, 6);

    TreeNode* category = f.entity->children()[4].get();
    ASSERT_EQ(category->children().size(), 1u);
    EXPECT_EQ(category->children()[0]->record->key, "B");
    EXPECT_EQ(category->children()[0]->record->fileTag, 0);
    EXPECT_EQ(category->children()[0]->image, 12);
}

TEST(CategoryBuilder, missingParentStopsWithFailureText) {
    EntityFrame f;
    bool ok = true;
    std::string failure;
    build(f, {row("R", "", "财务数据"), row("A", "GONE", "孤儿"), row("B", "R", "之后")}, 3, &ok, &failure);

    EXPECT_FALSE(ok);
    EXPECT_EQ(failure, "创建节点[孤儿]失败！");
    EXPECT_EQ(f.entity->children()[1]->record->key, "R");
    EXPECT_TRUE(f.entity->children()[1]->children().empty());
}

TEST(CategoryBuilder, loopOfParentKeysFailsInsteadOfRecursingForever) {
    EntityFrame f;
    bool ok = true;
    std::string failure;
    build(f, {row("A", "B", "甲"), row("B", "A", "乙")}, 4, &ok, &failure);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure, "创建节点[甲]失败！");

    EntityFrame g;
    build(g, {row("S", "S", "自己")}, 4, &ok, &failure);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure, "创建节点[自己]失败！");
}

TEST(CategoryBuilder, longChainListedChildFirstNeedsNoDeepRecursion) {
    constexpr int kDepth = 20000;
    std::vector<CategoryRow> rows;
    for (int i = kDepth; i >= 1; --i) rows.push_back(row("K" + std::to_string(i), "K" + std::to_string(i - 1), "n"));
    rows.push_back(row("K0", "", "财务资料"));
    EntityFrame f;
    std::string failure;

    EXPECT_TRUE(buildCategoryTree(f.entity, rows, 4, &failure));
    const TreeNode* node = f.entity->children()[2].get();
    int depth = 0;
    while (!node->children().empty()) {
        node = node->children()[0].get();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
}

TEST(CategoryBuilder, emptyRowsLeaveTheFrameAsItIs) {
    EntityFrame f;
    const std::string before = dump(f.entity);
    bool ok = false;
    EXPECT_EQ(build(f, {}, 3, &ok), before);
    EXPECT_TRUE(ok);
}

// --- the builder over a query

class BuilderQuery : public ::testing::Test {
protected:
    BuilderQuery() {
        sqlite3_open(":memory:", &m_handle);
        connection = db::Connection::borrow(m_handle);
        connection->execute(
            "Create Table T (DirID TEXT, PDirID TEXT, Name TEXT, ImageIndex INTEGER, FileTag INTEGER, "
            "MyKey TEXT, MyParent TEXT, MyName TEXT, MyImage INTEGER, DirIndex INTEGER)");
    }
    ~BuilderQuery() override {
        connection.reset();
        sqlite3_close(m_handle);
    }
    std::unique_ptr<db::Connection> connection;

private:
    sqlite3* m_handle = nullptr;
};

TEST_F(BuilderQuery, readsRowsInQueryOrderWithTheGivenFields) {
    connection->execute(
        "Insert Into T Values ('A', 'R', '报表', 7, 1, 'A', 'R', '报表', 7, 2);"
        "Insert Into T Values ('R', '', '财务数据', 3, 0, 'R', '', '财务数据', 3, 1);");
    db::Query q(connection.get());
    q.open("Select * From T Order By DirIndex Desc");
    EntityFrame f;
    std::string failure;

    ASSERT_TRUE(buildCategoryTree(f.entity, q, 3, BuilderFields{}, &failure));

    TreeNode* category = f.entity->children()[1].get();
    EXPECT_EQ(category->record->key, "R");
    EXPECT_EQ(category->image, 3);
    ASSERT_EQ(category->children().size(), 1u);
    EXPECT_EQ(category->children()[0]->record->fileTag, 1);
    EXPECT_EQ(category->children()[0]->image, 7);
    EXPECT_EQ(category->children()[0]->record->kind, 3);
}

TEST_F(BuilderQuery, takesOtherFieldNames) {
    connection->execute("Insert Into T Values ('x', 'x', 'x', 0, 0, 'K', '-1', '别名', 5, 1)");
    db::Query q(connection.get());
    q.open("Select * From T");
    EntityFrame f;
    std::string failure;

    ASSERT_TRUE(buildCategoryTree(f.entity, q, 6, {"MyName", "MyKey", "MyParent", "MyImage"}, &failure));
    // A top row with parent "-1" goes under the first node still keyed "-1": the first category.
    ASSERT_EQ(f.entity->children()[1]->children().size(), 1u);
    EXPECT_EQ(f.entity->children()[1]->children()[0]->text, "别名");
}

TEST_F(BuilderQuery, unknownFieldIsAnError) {
    connection->execute("Insert Into T Values ('A', '', 'a', 0, 0, '', '', '', 0, 1)");
    db::Query q(connection.get());
    q.open("Select DirID, PDirID, Name, ImageIndex From T");
    EntityFrame f;
    std::string failure;
    EXPECT_THROW(buildCategoryTree(f.entity, q, 3, BuilderFields{}, &failure), db::Error);
}

// --- the builder against the plain algorithm

// The algorithm as written, searching the whole subtree for every row.
class LiteralBuilder {
public:
    LiteralBuilder(TreeNode* top, const std::vector<CategoryRow>& rows, int kind)
        : m_top(top), m_rows(rows), m_kind(kind) {}

    bool run(std::string* failure) {
        for (const auto& r : m_rows) {
            if (!ensure(r, 0)) {
                *failure = "创建节点[" + r.name + "]失败！";
                return false;
            }
        }
        return true;
    }

private:
    static TreeNode* search(TreeNode* x, const std::string& key, int level) {
        if (!x) return nullptr;
        if (x->record && x->record->key == key && x->level() > level) return x;
        if (TreeNode* found = search(x->firstChild(), key, level)) return found;
        return search(x->nextSibling(), key, level);
    }
    TreeNode* search(const std::string& key) { return search(m_top, key, m_top->level()); }

    TreeNode* add(TreeNode* parent, const CategoryRow& r) {
        TreeNode* node = nullptr;
        for (const auto& child : parent->children())
            if (child->text == r.name) {
                node = child.get();
                break;
            }
        if (!node) node = parent->addChild(r.name);
        node->record = std::make_unique<NodeRecord>(NodeRecord{r.key, m_kind, r.name, r.fileTag});
        node->image = r.image;
        return node;
    }

    // The plain algorithm recurses for ever on a loop of parent keys; deeper than the number
    // of rows can only be such a loop.
    TreeNode* ensure(const CategoryRow& r, std::size_t depth) {
        if (depth > m_rows.size()) return nullptr;
        if (TreeNode* existing = search(r.key)) return existing;
        TreeNode* parent = search(r.parent);
        if (!parent) parent = m_top;
        if (r.parent.empty() || r.parent == "0" || r.parent == "-1") return add(parent, r);
        const CategoryRow* parentRow = nullptr;
        for (const auto& candidate : m_rows)
            if (candidate.key == r.parent) {
                parentRow = &candidate;
                break;
            }
        if (!parentRow) return nullptr;
        TreeNode* parentNode = ensure(*parentRow, depth + 1);
        if (!parentNode) return nullptr;
        return add(parentNode, r);
    }

    TreeNode* m_top;
    const std::vector<CategoryRow>& m_rows;
    int m_kind;
};

// A random frame: entities before and after the one built, nodes with keys of the pool
// already in place, and rows with repeated keys and names, tops of every spelling,
// missing parents and loops.
struct Scenario {
    EntityFrame frame;
    TreeNode* target = nullptr;
    std::vector<std::vector<CategoryRow>> passes;  // one builder call per category
};

const std::vector<std::string> kKeys = {"k0", "k1", "k2", "k3", "k4", "k5", "k6", "k7"};
const std::vector<std::string> kTops = {"", "0", "-1"};
const std::vector<std::string> kNames = {"财务数据", "财务资料", "审计资料", "甲", "乙", "丙"};

template <typename T>
const T& pick(std::mt19937& rng, const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}

void makeScenario(std::mt19937& rng, Scenario& s) {
    auto chance = [&rng](int percent) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; };
    auto sprinkle = [&](TreeNode* under, int count) {
        for (int i = 0; i < count; ++i) {
            TreeNode* parent = under;
            while (!parent->children().empty() && chance(50))
                parent = parent->children()[std::uniform_int_distribution<std::size_t>(0, parent->children().size() - 1)(rng)].get();
            withRecord(parent->addChild(pick(rng, kNames)), pick(rng, kKeys), 9, 9);
        }
    };
    // The frame's entity comes first; move the target to a later one when asked.
    if (chance(50)) sprinkle(s.frame.entity, 3);
    s.target = chance(50) ? s.frame.entity : s.frame.addEntity("E002", "乙公司");
    if (chance(40)) sprinkle(s.target, std::uniform_int_distribution<int>(1, 4)(rng));
    if (chance(50)) sprinkle(s.frame.addEntity("E003", "丙公司"), std::uniform_int_distribution<int>(1, 4)(rng));

    const int passes = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int p = 0; p < passes; ++p) {
        std::vector<CategoryRow> rows;
        const int count = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < count; ++i) {
            std::string parent;
            const int which = std::uniform_int_distribution<int>(0, 9)(rng);
            if (which < 3) parent = pick(rng, kTops);
            else if (which == 3) parent = "missing";
            else parent = pick(rng, kKeys);
            rows.push_back(row(pick(rng, kKeys), parent, pick(rng, kNames), std::uniform_int_distribution<int>(0, 20)(rng),
                               std::uniform_int_distribution<int>(0, 1)(rng)));
        }
        s.passes.push_back(std::move(rows));
    }
}

TEST(CategoryBuilder, givesTheSameTreeAsThePlainAlgorithmOnRandomRows) {
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        std::mt19937 rngFast(seed), rngPlain(seed);
        Scenario fast, plain;
        makeScenario(rngFast, fast);
        makeScenario(rngPlain, plain);
        ASSERT_EQ(dump(fast.frame.root), dump(plain.frame.root));

        for (std::size_t p = 0; p < fast.passes.size(); ++p) {
            const int kind = 3 + static_cast<int>(p);
            std::string fastFailure, plainFailure;
            const bool fastOk = buildCategoryTree(fast.target, fast.passes[p], kind, &fastFailure);
            const bool plainOk = LiteralBuilder(plain.target, plain.passes[p], kind).run(&plainFailure);
            ASSERT_EQ(fastOk, plainOk) << "seed " << seed << " pass " << p;
            ASSERT_EQ(fastFailure, plainFailure) << "seed " << seed << " pass " << p;
            ASSERT_EQ(dump(fast.frame.root), dump(plain.frame.root)) << "seed " << seed << " pass " << p;
        }
    }
}

}  // namespace
}  // namespace unitarc::store
