#include "package/reload.h"

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

// EndProcess runs however the reload ends.
class BusyWindow {
public:
    BusyWindow(void* owner, const std::string& text) { host::host().beginProcess(owner, "被审计单位资料管理", text); }
    ~BusyWindow() {
        try {
            host::host().endProcess();
        } catch (...) {
        }
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;
    void say(const std::string& text) { host::host().changeTransInfo(text); }
};

store::TreeNode* addRecordNode(store::TreeNode* parent, const std::string& text, const std::string& key, int kind,
                               int fileTag, int image) {
    store::TreeNode* node = parent->addChild(text);
    node->record = std::make_unique<store::NodeRecord>(store::NodeRecord{key, kind, text, fileTag});
    node->image = image;
    return node;
}

void buildCategory(TKQDM_BSJDW& dm, store::TreeNode* entity, const std::string& code, int kind,
                   ReloadResult& result) {
    db::Query query(&dm.conUNITARC);
    query.open(std::string("select * from ") + kMaterialTable[kind - 3] + " where AuditedDeptCode=" + text::quoted(code) +
               " " + "and CanVisible = 1 " + "order by DirIndex");
    std::string failure;
    if (!store::buildCategoryTree(entity, query, kind, store::BuilderFields{}, &failure) && !failure.empty())
        result.failures.push_back(failure);
}

}  // namespace

ReloadResult reloadTree(TKQDM_BSJDW& dm, store::Tree& tree, const std::string& verb, void* owner) {
    ReloadResult result;
    BusyWindow busy(owner, "准备" + verb + "被审计单位信息，请稍候……");
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
    return result;
}

std::vector<std::string> treeLines(const store::Tree& tree) {
    std::vector<std::string> lines;
    std::vector<const store::TreeNode*> stack;
    for (auto it = tree.roots.rbegin(); it != tree.roots.rend(); ++it) stack.push_back(it->get());
    while (!stack.empty()) {
        const store::TreeNode* node = stack.back();
        stack.pop_back();
        std::string line(2 * static_cast<std::size_t>(node->level()), ' ');
        line += node->text + "\t";
        if (node->record) line += std::to_string(node->record->kind) + "\t" + node->record->key;
        else line += "\t";
        line += "\t" + std::to_string(node->image);
        lines.push_back(std::move(line));
        for (auto it = node->children().rbegin(); it != node->children().rend(); ++it) stack.push_back(it->get());
    }
    return lines;
}

}  // namespace unitarc::package
