#include "tests/support/builder/demo_packages.h"

#include <filesystem>

#include "tests/support/builder/package_builder.h"

namespace unitarc::test {

namespace {

std::vector<Item> reportItems(const std::string& code, const std::string& date) {
    return {{"SJDWDM", "审计机关代码", "SJJ001"}, {"CWKJQJNF", "会计期间年份", "2025"},
            {"CWKJQJYJ", "会计期间月份", "全年"},   {"SQHSH", "审前审后", "审前"},
            {"BJHHZ", "本级或汇总", "本级"},        {"BBRQ", "报表日期", date},
            {"BSJDWSBM", "被审计单位识别码", code}};
}

std::string text(const std::string& title, int lines) {
    std::string body = title + "\n";
    for (int i = 1; i <= lines; ++i) body += std::to_string(i) + ". 摘要：" + title + "，金额 " + std::to_string(i * 1250) + ".00 元\n";
    return body;
}

std::string page(const std::string& title) {
    return "<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body><h1>" + title +
           "</h1><p>本页为示例资料。</p></body></html>\n";
}

Material dated(Material m, const char* attribute, const char* date) {
    m.set(attribute, date);
    return m;
}

PackageBuilder principal(const std::string& report) {
    PackageBuilder p("CZJ001", "某市财政局");
    p.baseItem("DWDZ", "单位地址", "某市人民路1号")
        .baseItem("FDDBR", "法定代表人", "张三")
        .baseItem("DWXZ", "单位性质", "行政单位")
        .baseItem("LXDH", "联系电话", "0100-12345678");

    p.add(Category::FinanceData, financeTemplates({{"资产负债表.xls", report}, {"收入支出表.xls", report}}));
    Material year = folder("2025年度");
    for (Material& m : financialPair("资产负债表", reportItems("CZJ001", "2025-12-31"), report)) year.add(m);
    for (Material& m : financialPair("收入支出表", reportItems("CZJ001", "2025-12-31"), report)) year.add(m);
    p.add(Category::FinanceData, year);

    p.add(Category::FinanceRes,
          folder("会计凭证", {dated(file("一月凭证", "一月凭证.TXT", text("一月记账凭证汇总", 12)), "财务资料日期", "2025-01-31"),
                              dated(file("二月凭证", "二月凭证.TXT", text("二月记账凭证汇总", 9)), "财务资料日期", "2025-02-28")}));
    p.add(Category::FinanceRes, folder("会计账簿", {file("总账", "总账.TXT", text("总账科目余额", 20))}));
    p.add(Category::TransRes,
          folder("合同协议", {dated(file("办公楼维修合同", "办公楼维修合同.HTML", page("办公楼维修合同")), "业务资料日期", "2025-04-12")}));
    p.add(Category::TransRes, file("年度工作总结", "年度工作总结.TXT", text("2025年度工作总结", 6)));

    p.add(Category::AuditRes, projectTemplate({folder("审计准备阶段", {folder("审计通知书")}), folder("审计实施阶段"),
                                               folder("审计终结阶段")}));
    p.add(Category::AuditRes,
          folder("以前年度审计", {file("2024年审计报告", "2024年审计报告.TXT", text("2024年度预算执行审计报告", 8))
                                      .set("类型", "审计报告")
                                      .set("文号", "某审报〔2024〕3号")
                                      .set("成文时间", "2024-11-20")}));
    return p;
}

PackageBuilder extended(const std::string& code, const std::string& name, const std::string& report) {
    PackageBuilder p(code, name);
    p.baseItem("DWDZ", "单位地址", "某市建设路" + code.substr(code.size() - 1) + "号")
        .baseItem("SJDW", "上级单位", "某市财政局");
    Material year = folder("2025年度");
    for (Material& m : financialPair("资产负债表", reportItems(code, "2025-12-31"), report)) year.add(m);
    p.add(Category::FinanceData, year);
    p.add(Category::FinanceRes, folder("银行对账单", {file("十二月对账单", "十二月对账单.TXT", text("十二月银行对账单", 5))}));
    p.add(Category::TransRes, file("专项资金明细", "专项资金明细.TXT", text("专项资金使用明细", 10)));
    p.add(Category::AuditRes, projectTemplate({folder("延伸审计实施")}));
    return p;
}

}  // namespace

std::vector<std::string> writeDemoPackages(const std::string& folder, const std::string& reportBytes) {
    const std::string report = reportBytes.empty() ? std::string("demo report") : reportBytes;
    std::filesystem::create_directories(folder);
    const std::filesystem::path dir(folder);

    std::vector<std::string> written;
    written.push_back(principal(report).write((dir / "CZJ001.zip").string()));
    written.push_back(extended("EXT001", "某市财政局下属事业单位甲", report).write((dir / "EXT001.zip").string()));
    // The second one as older tools write packages: gb2312 description, CP936 names, "\".
    PackageBuilder older = extended("EXT002", "某市财政局下属事业单位乙", report);
    older.options.description = Encoding::Gb2312;
    older.options.cp936Names = true;
    older.options.backslashes = true;
    older.options.indent = true;
    written.push_back(older.write((dir / "EXT002.zip").string()));
    return written;
}

}  // namespace unitarc::test
