#include "package/reload.h"

#include <sqlite3.h>

#include <memory>

#include "package/binding.h"
#include "package/format.h"
#include "platform/db.h"
#include "platform/text.h"
#include "shell/hostapi.h"
#include "store/records.h"

namespace unitarc::package {

namespace {


constexpr const char* kMaterialTable[] = {"FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                                          "AuditResourceInfo"};

store::TreeNode* addRecordNode(store::TreeNode* parent, const std::string& text, const std::string& key, int kind,
                               int fileTag, int image) {
    store::TreeNode* node = parent->addChild(text);
    node->record = std::make_unique<store::NodeRecord>(store::NodeRecord{key, kind, text, fileTag});
    node->image = image;
    return node;
}

struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// The builder needs five columns of each row: they are read straight from the statement
// rather than through a snapshot of every column, which would cost more than the tree itself.
std::vector<store::CategoryRow> categoryRows(TKQDM_BSJDW& dm, const std::string& sql) {
    sqlite3* db = dm.conUNITARC.handle();
    if (!db) throw db::Error("the entity database is not open");
    const std::string text = db::rewriteJet(sql);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, text.c_str(), static_cast<int>(text.size()), &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        throw db::Error(sqlite3_errmsg(db));
    }
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(raw);

    int key = -1, parent = -1, name = -1, image = -1, fileTag = -1;
    for (int i = 0; i < sqlite3_column_count(raw); ++i) {
        const std::string column = text::upperLatin(sqlite3_column_name(raw, i));
        int* slot = column == "DIRID" ? &key : column == "PDIRID" ? &parent : column == "NAME" ? &name
                  : column == "IMAGEINDEX" ? &image : column == "FILETAG" ? &fileTag : nullptr;
        if (slot && *slot < 0) *slot = i;
    }
    if (key < 0 || parent < 0 || name < 0 || image < 0 || fileTag < 0) throw db::Error("a column of the tree is missing");

    auto textAt = [raw](int column) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(raw, column));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(raw, column))) : std::string();
    };
    std::vector<store::CategoryRow> rows;
    for (int rc; (rc = sqlite3_step(raw)) != SQLITE_DONE;) {
        if (rc != SQLITE_ROW) throw db::Error(sqlite3_errmsg(db));
        rows.push_back({textAt(key), textAt(parent), textAt(name), sqlite3_column_int(raw, image),
                        sqlite3_column_int(raw, fileTag)});
    }
    return rows;
}

void buildCategory(TKQDM_BSJDW& dm, store::TreeNode* entity, const std::string& code, int kind,
                   ReloadResult& result) {
    const auto rows = categoryRows(dm, std::string("select * from ") + kMaterialTable[kind - 3] +
                                           " where AuditedDeptCode=" + text::quoted(code) + " " +
                                           "and CanVisible = 1 " + "order by DirIndex");
    std::string failure;
    if (!store::buildCategoryTree(entity, rows, kind, &failure) && !failure.empty()) result.failures.push_back(failure);
}

}  // namespace

ReloadResult reloadTree(TKQDM_BSJDW& dm, store::Tree& tree, const std::string& verb, void* owner) {
    ReloadResult result;
    reloadTree(dm, tree, verb, result, owner);
    return result;
}

void reloadTree(TKQDM_BSJDW& dm, store::Tree& tree, const std::string& verb, ReloadResult& result, void* owner) {
    host::BusyWindow busy(owner, "被审计单位资料管理", "准备" + verb + "被审计单位信息，请稍候……");
    const std::string serial = host::host().curPrjSerial();

    tree.clear();
    const std::string prjName = store::prjInfoField(serial, "PrjName");
    store::TreeNode* root = tree.addRoot(prjName);
    root->record = std::make_unique<store::NodeRecord>(store::NodeRecord{serial, 0, prjName, 0});
    root->image = 2;

    busy.say("开始" + verb + "被审计单位信息，请稍候……");
    db::Query entities(&dm.conUNITARC);
    entities.open("select * from AuditedDeptInfo order by DeptIndex");
    bool refreshed = false;
    // Nothing changes the project while the reload runs: one look-up serves every entity.
    const std::string auditedCorpId = store::prjInfoField(serial, "AuditedCorpID");
    for (; !entities.eof(); entities.next()) {
        const std::string code = entities.text("AuditedDeptCode");
        const std::string name = entities.text("AuditedDeptName");
        const bool principal = code == auditedCorpId;
        store::TreeNode* entity = addRecordNode(root, name, code, 1, 0, principal ? 5 : 6);

        busy.say("正在" + verb + "被审计单位基本信息，请稍候……");
        addRecordNode(entity, std::string(kCategoryBaseInfo), code + "01", 2, 1, 4);

        busy.say("正在" + verb + "被审计单位财务数据，请稍候……");
        for (int kind = 3; kind <= 6; ++kind) addRecordNode(entity, std::string(categoryName(kind)), "-1", kind, 0, 0);
        buildCategory(dm, entity, code, 3, result);

        busy.say("正在" + verb + "被审计单位财务资料，请稍候……");
        buildCategory(dm, entity, code, 4, result);

        busy.say("正在" + verb + "被审计单位业务资料，请稍候……");
        buildCategory(dm, entity, code, 5, result);

        busy.say("正在" + verb + "被审计单位审计资料中当前项目基本信息，请稍候……");
        // One refresh covers every entity; running it again for each row changes nothing.
        if (!refreshed) {
            refreshCurrentProject(dm);
            refreshed = true;
        }

        busy.say("正在" + verb + "被审计单位审计资料，请稍候……");
        buildCategory(dm, entity, code, 6, result);
    }
}

std::vector<std::string> treeLines(const store::Tree& tree) {
    std::vector<std::string> lines;
    std::vector<const store::TreeNode*> stack;
    for (auto it = tree.roots.rbegin(); it != tree.roots.rend(); ++it) stack.push_back(it->get());
    while (!stack.empty()) {
        const store::TreeNode* node = stack.back();
        stack.pop_back();
        std::string line(2 * static_cast<std::size_t>(node->level()), ' ');
        line += node->text;
        line += '\t';
        if (node->record) {
            line += std::to_string(node->record->kind);
            line += '\t';
            line += node->record->key;
        } else {
            line += '\t';
        }
        line += '\t';
        line += std::to_string(node->image);
        lines.push_back(std::move(line));
        for (auto it = node->children().rbegin(); it != node->children().rend(); ++it) stack.push_back(it->get());
    }
    return lines;
}

}  // namespace unitarc::package
