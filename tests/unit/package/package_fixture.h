#pragma once
// A fake host with the data module open, a folder for archives, and short row look-ups.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db.h"
#include "platform/text.h"
#include "shell/untKQDM_BSJDW.h"
#include "tests/support/builder/package_builder.h"
#include "tests/support/fakehost.h"
#include "tests/support/tempdir.h"

namespace unitarc::test {

using Row = std::map<std::string, std::string>;

class PackageTest : public FakeHostTest {
protected:
    std::unique_ptr<TKQDM_BSJDW> dm = fake.openDataModule();
    TempDir archives;

    // Writes the package as archives/<file> and returns its path.
    std::string zip(const PackageBuilder& p, const std::string& file = {}) {
        return p.write(archives / (file.empty() ? p.code() + ".zip" : file));
    }

    std::vector<Row> rows(const std::string& sql) {
        db::Query q(&dm->conUNITARC);
        q.open(sql);
        std::vector<Row> out;
        for (; !q.eof(); q.next()) {
            Row r;
            for (const std::string& f : q.fieldNames()) r[f] = q.text(f);
            out.push_back(std::move(r));
        }
        return out;
    }
    Row row(const std::string& table, const std::string& dirId) {
        auto found = rows("select * from " + table + " where DirID = " + text::quoted(dirId));
        return found.empty() ? Row{} : found.front();
    }
    std::size_t count(const std::string& table, const std::string& code) {
        return rows("select * from " + table + " where AuditedDeptCode = " + text::quoted(code)).size();
    }
    std::size_t entityRows(const std::string& code) {
        std::size_t n = 0;
        for (const char* t : {"AuditedDeptInfo", "FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                              "AuditResourceInfo"})
            n += count(t, code);
        return n;
    }
    std::string entityRoot(const std::string& code) const { return fake.entityFolder() + code; }
    bool exists(const std::string& path) const { return std::filesystem::exists(path); }
};

}  // namespace unitarc::test
