#pragma once
// Shared by the reload benchmarks: entities with 1,000 visible materials each (4 categories
// x 25 folders x (1 folder row + 9 files)), written straight into the entity database.
#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <string>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::bench {

inline double timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline constexpr const char* kTables[] = {"FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                                          "AuditResourceInfo"};

inline void fillEntities(TKQDM_BSJDW& dm, int entities) {
    constexpr int kFoldersPerCategory = 25;
    constexpr int kFilesPerFolder = 9;
    constexpr const char* kCategories[] = {"财务数据", "财务资料", "业务资料", "审计资料"};
    sqlite3* db = dm.conUNITARC.handle();
    dm.conUNITARC.execute("BEGIN");
    long long index = 0;
    for (int e = 0; e < entities; ++e) {
        const std::string code = "ENT" + std::to_string(e);
        dm.conUNITARC.execute("insert into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, DeptIndex, KQTag, Type, "
                              "Name, ImageIndex) values ('" + code + "', '单位" + std::to_string(e) + "', " +
                              std::to_string(e + 1) + ", 0, 'JBXX', '基本信息', 0)");
        for (int t = 0; t < 4; ++t) {
            sqlite3_stmt* insert = nullptr;
            sqlite3_prepare_v2(db,
                               (std::string("insert into ") + kTables[t] +
                                " (AuditedDeptCode, DirID, PDirID, DirIndex, KQTag, FileTag, Name, NodeID, FileID, "
                                "FileName, ImageIndex, CanVisible) values (?, ?, ?, ?, 0, ?, ?, ?, '', ?, ?, 1)")
                                   .c_str(),
                               -1, &insert, nullptr);
            auto row = [&](const std::string& id, const std::string& parent, int fileTag, const std::string& name) {
                const std::string fileName = fileTag ? name + ".DOC" : std::string();
                sqlite3_bind_text(insert, 1, code.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 2, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 3, parent.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 4, ++index);
                sqlite3_bind_int(insert, 5, fileTag);
                sqlite3_bind_text(insert, 6, name.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 7, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert, 8, fileName.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(insert, 9, fileTag);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            };
            const std::string root = code + "R" + std::to_string(t);
            row(root, "", 0, kCategories[t]);
            for (int f = 0; f < kFoldersPerCategory; ++f) {
                const std::string folder = root + "F" + std::to_string(f);
                row(folder, root, 0, "文件夹" + std::to_string(f));
                for (int i = 0; i < kFilesPerFolder; ++i)
                    row(folder + "M" + std::to_string(i), folder, 1, "资料" + std::to_string(i));
            }
            sqlite3_finalize(insert);
        }
    }
    dm.conUNITARC.execute("COMMIT");
}

}  // namespace unitarc::bench
