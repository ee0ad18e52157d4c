#include "demo.h"

#include "hostsvc.h"
#include "tests/support/builder/demo_packages.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

namespace stdfs = std::filesystem;

namespace hostwork {
namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

Db openDb(const std::string& path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path);
    return db;
}

void exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "SQLite error";
        sqlite3_free(message);
        throw std::runtime_error(text);
    }
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

void writeText(const stdfs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string rtfEscaped(const std::string& utf8) {
    std::string out;
    for (const QChar ch : QString::fromStdString(utf8)) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            out += "\\u" + std::to_string(static_cast<int16_t>(u)) + "?";
        }
    }
    return out;
}

std::string rtfDocument(const std::string& title, const std::vector<std::string>& lines) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 WenQuanYi Micro Hei;}}\n";
    rtf += "\\uc1\\pard\\qc\\b\\fs32 " + rtfEscaped(title) + "\\b0\\par\n\\pard\\fs22 ";
    for (const auto& line : lines) rtf += rtfEscaped(line) + "\\par\n";
    return rtf + "}\n";
}

void drawChart(const stdfs::path& file, const QColor& accent) {
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 2));
    p.drawLine(30, 170, 300, 170);
    p.drawLine(30, 20, 30, 170);
    const int heights[] = {60, 110, 85, 140, 120};
    for (int i = 0; i < 5; ++i) {
        p.fillRect(50 + i * 50, 170 - heights[i], 30, heights[i], accent.lighter(100 + i * 12));
    }
    p.end();
    if (!image.save(QString::fromStdString(file.string()), "PNG")) throw std::runtime_error("cannot write " + file.string());
}

void writeDatabase(const stdfs::path& file) {
    std::error_code ec;
    stdfs::remove(file, ec);
    Db db = openDb(file.string());
    exec(db.get(),
         "CREATE TABLE 科目余额 (科目编码 TEXT, 科目名称 TEXT, 期初余额 REAL, 期末余额 REAL);"
         "INSERT INTO 科目余额 VALUES ('1001', '库存现金', 12000.5, 8650.25);"
         "INSERT INTO 科目余额 VALUES ('1002', '银行存款', 3560000, 4210500.8);"
         "INSERT INTO 科目余额 VALUES ('1101', '短期投资', 0, 500000);"
         "INSERT INTO 科目余额 VALUES ('2001', '短期借款', 1000000, 800000);"
         "INSERT INTO 科目余额 VALUES ('4001', '实收资本', 5000000, 5000000);");
}

struct Resource {
    int id;
    int parent;
    const char* caption;
    int image;
    const char* type;
    int nodeType;  // below 20: a folder of the project tree
    const char* keyword;
    const char* app;       // ResCreateAppID: the subfolder of File/
    const char* fileName;  // "" when the resource has no file
    const char* param;
    int readOnly;
};

// One project's resources; the files are written by fillProject.
const std::vector<Resource> kResources = {
    {1, 0, "审计实施", ImgFolder, "XMGL_FOLDER", 1, "", "", "", "", 0},
    {2, 1, "审计日记", ImgFolder, "XMGL_FOLDER", 10, "", "", "", "", 0},
    {3, 2, "审计日记（2026-03-02）", ImgDiary, "DGGL_SJRJ", 20, "进点会议", "DGGL", "SJRJ0001.rtf", "SJRJ-0001", 0},
    {4, 2, "审计日记（2026-03-03）", ImgDiary, "DGGL_SJRJ", 20, "资金检查", "DGGL", "SJRJ0002.rtf", "SJRJ-0002", 0},
    {5, 2, "当日记（2026-03-04）", ImgDailyDiary, "DGGL_DRJ", 20, "现场访谈", "DGGL", "DRJ0001.rtf", "DRJ-0001", 0},
    {6, 1, "审计底稿", ImgFolder, "XMGL_FOLDER", 10, "", "", "", "", 0},
    {7, 6, "货币资金审计底稿", ImgWorkingPaper, "DGGL_SJDG", 20, "货币资金", "DGGL", "SJDG0001.rtf", "SJDG-0001", 0},
    {8, 6, "预算收入审计底稿", ImgWorkingPaper, "DGGL_SJDG", 20, "预算收入", "DGGL", "", "SJDG-0002", 0},
    {9, 0, "项目资料", ImgFolder, "XMGL_FOLDER", 10, "", "", "", "", 0},
    {10, 9, "审计实施方案", ImgProjectFile, "XMGL_FILE", 20, "实施方案", "XMGL", "审计实施方案.rtf", "", 0},
    {11, 9, "审计通知书", ImgText, "TXT", 20, "通知书", "TXT", "审计通知书.txt", "", 1},
    {12, 9, "科目余额表", ImgSpreadsheet, "EXCEL", 20, "科目余额", "EXCEL", "科目余额表.xls", "", 0},
    {13, 9, "被审计单位简介", ImgWebPage, "HTML", 20, "单位简介", "HTML", "被审计单位简介.html", "", 0},
    {14, 9, "现场照片", ImgPicture, "PICTURE", 20, "现场", "PICTURE", "现场照片.png", "", 0},
    {15, 9, "财务数据库", ImgDatabase, "DATABASE", 20, "财务数据", "DATABASE", "财务数据.mdb", "", 0},
    {16, 9, "辅助账数据", ImgDatabase, "DATABASE", 20, "辅助账", "DATABASE", "辅助账.db", "", 0},
    {17, 9, "临时记录", ImgText, "XMGL_TEMP", 20, "", "TXT", "临时记录.txt", "", 0},
};

// Writes the file of one resource; false when it has to be left out (no sample workbook).
bool writeResourceFile(const Resource& r, const stdfs::path& file, const std::string& projectName) {
    const std::string type = r.type;
    const std::string name = r.fileName;
    if (type == "EXCEL") {
        std::error_code ec;
        if (!stdfs::is_regular_file(HOSTWORK_SAMPLE_XLS, ec)) return false;
        stdfs::copy_file(HOSTWORK_SAMPLE_XLS, file, stdfs::copy_options::overwrite_existing, ec);
        return !ec;
    }
    if (name.ends_with(".rtf")) {
        writeText(file, rtfDocument(r.caption, {"项目：" + projectName, std::string("关键词：") + r.keyword,
                                                "本文件由演示工作区生成。"}));
    } else if (name.ends_with(".txt")) {
        writeText(file, std::string(r.caption) + "\n\n项目：" + projectName +
                            "\n根据审计工作安排，审计组将于2026年3月2日进驻，请予以配合。\n");
    } else if (name.ends_with(".html")) {
        writeText(file, "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + std::string(r.caption) +
                            "</title></head>\n<body><h1>" + r.caption + "</h1><p>项目：" + projectName +
                            "</p><table border=\"1\"><tr><th>科目</th><th>金额</th></tr>"
                            "<tr><td>预算收入</td><td>1,250,000.00</td></tr></table></body></html>\n");
    } else if (name.ends_with(".png")) {
        drawChart(file, QColor(40, 110, 190));
    } else if (name.ends_with(".mdb") || name.ends_with(".db")) {
        writeDatabase(file);
    }
    return true;
}

void fillProject(const std::string& folder, const std::string& projectName) {
    Db db = openDb(folder + "project.db");
    exec(db.get(), "BEGIN");
    int index = 0;
    for (const Resource& r : kResources) {
        bool hasFile = *r.fileName != '\0';
        if (hasFile) {
            const stdfs::path dir = stdfs::path(folder) / "File" / r.app;
            stdfs::create_directories(dir);
            hasFile = writeResourceFile(r, dir / r.fileName, projectName);
            if (!hasFile && std::string(r.type) == "EXCEL") continue;
        }
        exec(db.get(),
             "INSERT INTO KQ_ResTrv (ResID, ResParentID, ResIndex, ResCaption, ResImgIndex, ResTypeName, "
             "ResNodeType, ResKeyWord, ResFileFlag, ResCreateAppID, ResFileName, ResParam, ResReadOnly) VALUES (" +
                 std::to_string(r.id) + ", " + std::to_string(r.parent) + ", " + std::to_string(++index) + ", " +
                 quoted(r.caption) + ", " + std::to_string(r.image) + ", " + quoted(r.type) + ", " +
                 std::to_string(r.nodeType) + ", " + quoted(r.keyword) + ", " + quoted(hasFile ? "1" : "0") + ", " +
                 quoted(r.app) + ", " + quoted(r.fileName) + ", " + quoted(r.param) + ", " +
                 std::to_string(r.readOnly) + ")");
    }
    exec(db.get(), "COMMIT");
}

}  // namespace

void initDemo(const std::string& dir) {
    std::error_code ec;
    if (stdfs::exists(stdfs::path(dir) / "base.db", ec))
        throw std::runtime_error("a workspace exists already in " + dir);
    openWorkspace(dir);

    {
        Db base = openDb(workspace() + "base.db");
        // IsDisplay: a type is shown in the project tree when the last character is "1".
        exec(base.get(),
             "INSERT INTO KQ_TypeInfo (TypeName, TypeCaption, IsDisplay) VALUES "
             "('XMGL_FOLDER', '项目目录', '01'), ('DGGL_SJRJ', '审计日记', '01'), ('DGGL_DRJ', '当日记', '01'), "
             "('DGGL_SJDG', '审计底稿', '11'), ('XMGL_FILE', '项目文件', '01'), ('EXCEL', '电子表格', '01'), "
             "('TXT', '文本文件', '01'), ('HTML', '网页', '01'), ('PICTURE', '图片', '01'), "
             "('DATABASE', '数据库', '01'), ('SJFX_DZSJ', '电子数据', '01'), ('XMGL_TEMP', '临时文件', '10')");
    }

    struct DemoProject {
        const char* serial;
        const char* name;
        const char* corp;
        const char* organ;
    };
    const DemoProject demo[] = {
        {"P2026001", "2026年度某市财政局预算执行审计", "CZJ001", "SJJ001"},
        {"P2026002", "2026年度某县教育局专项资金审计", "", "SJJ001"},
    };
    for (const auto& p : demo) {
        const std::string folder = createProject(p.serial, p.name, p.corp, p.organ);
        fillProject(folder, p.name);
    }

    // Sample packages to import: the principal entity of P2026001 and two extended ones.
    std::string report;
    if (std::ifstream in(HOSTWORK_SAMPLE_XLS, std::ios::binary); in) report.assign(std::istreambuf_iterator<char>(in), {});
    unitarc::test::writeDemoPackages(workspace() + "packages/", report);
    setCurrentProject("");
}

}  // namespace hostwork
