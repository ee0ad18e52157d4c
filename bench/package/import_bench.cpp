// `unitarc import` of one package of 10,000 material files of 2 KB in 100 folders across the
// four categories, against `unzip -q` of the same archive plus a sqlite3 load of as many rows
// in one transaction. Prints the best of a few rounds, the ratio (ours / baseline) and the
// peak memory of the import.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "host/hostsvc.h"
#include "tests/support/builder/package_builder.h"

namespace stdfs = std::filesystem;
using namespace unitarc::test;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr std::size_t kFileSize = 2048;
int kRounds = 4;

struct Result {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

// Runs a shell command; wall time and the peak resident size of its processes.
Result runTimed(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Result r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKb = usage.ru_maxrss;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string content(std::mt19937& random) {
    static const std::string words[] = {"审计", "预算", "收入", "支出", "科目", "余额", "凭证", "ledger", "amount", "2026"};
    std::string text;
    while (text.size() < kFileSize) text += words[random() % 10] + " ";
    text.resize(kFileSize);
    return text;
}

PackageBuilder bigPackage() {
    std::mt19937 random(20260301);
    PackageBuilder p("BENCH01", "性能测试单位");
    const Category categories[] = {Category::FinanceData, Category::FinanceRes, Category::TransRes, Category::AuditRes};
    for (int f = 0; f < kFolders; ++f) {
        Material folderNode = folder("文件夹" + std::to_string(f));
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const std::string name = "资料" + std::to_string(f) + "_" + std::to_string(i);
            folderNode.add(file(name, name + ".TXT", content(random)));
        }
        p.add(categories[f % 4], std::move(folderNode));
    }
    return p;
}

// The same number of rows as the import writes, in one transaction.
void writeLoad(const std::string& path, int rows) {
    std::ofstream sql(path);
    sql << "CREATE TABLE IF NOT EXISTS R (AuditedDeptCode TEXT, DirID TEXT, PDirID TEXT, DirIndex INTEGER, "
           "KQTag INTEGER, FileTag INTEGER, Name TEXT, NodeID TEXT, Type TEXT, FileID TEXT, FileName TEXT, "
           "ImageIndex INTEGER, CanVisible INTEGER);\nBEGIN;\n";
    for (int i = 0; i < rows; ++i)
        sql << "INSERT INTO R VALUES ('BENCH01','D" << i << "','P" << i / 100 << "'," << i
            << ",0,1,'资料" << i << "','D" << i << "','CWZL','','资料" << i << ".TXT',1,1);\n";
    sql << "COMMIT;\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) kRounds = std::max(1, std::atoi(argv[1]));
    const stdfs::path work = stdfs::temp_directory_path() / ("unitarc-import-bench-" + std::to_string(getpid()));
    stdfs::create_directories(work);
    const std::string archive = (work / "BENCH01.zip").string();
    std::printf("building a package of %d files of %zu bytes in %d folders...\n", kFolders * kFilesPerFolder,
                kFileSize, kFolders);
    bigPackage().write(archive);
    const int rows = kFolders * kFilesPerFolder + kFolders + 4;
    writeLoad((work / "load.sql").string(), rows);

    double ours = 1e9, baseline = 1e9;
    long peakKb = 0;
    bool ok = true;
    for (int round = 0; round < kRounds; ++round) {
        const stdfs::path ws = work / ("ws" + std::to_string(round));
        hostwork::openWorkspace(ws.string());
        hostwork::createProject("P1", "性能测试项目", "BENCH01", "ORG1");
        hostwork::closeConnections();
        // The entity database is created by a first, untimed run.
        runTimed(std::string(quoted(UNITARC_TOOL)) + " --workspace " + quoted(ws.string()) + " --project P1 tree >/dev/null 2>&1");

        const std::string ours_command = std::string(quoted(UNITARC_TOOL)) + " --workspace " + quoted(ws.string()) +
                                         " --project P1 import " + quoted(archive) + " >/dev/null 2>&1";
        const stdfs::path out = work / ("unzip" + std::to_string(round));
        const std::string baseline_command = "unzip -q " + quoted(archive) + " -d " + quoted(out.string()) +
                                             " && sqlite3 " + quoted((out / "load.db").string()) + " < " +
                                             quoted((work / "load.sql").string());
        // Taking turns at going first: file creation right after mass removal is slower.
        Result r, b;
        if (round % 2 == 0) {
            r = runTimed(ours_command);
            b = runTimed(baseline_command);
        } else {
            b = runTimed(baseline_command);
            r = runTimed(ours_command);
        }
        ok = ok && r.ok && b.ok;
        ours = std::min(ours, r.seconds);
        peakKb = std::max(peakKb, r.peakKb);
        baseline = std::min(baseline, b.seconds);
        stdfs::remove_all(ws);
        stdfs::remove_all(out);
    }
    stdfs::remove_all(work);

    std::printf("import of %d files (%d rows), best of %d\n", kFolders * kFilesPerFolder, rows, kRounds);
    std::printf("  unitarc import          %8.3f s\n", ours);
    std::printf("  unzip -q + sqlite3 load %8.3f s\n", baseline);
    std::printf("  ratio                   %8.2f   (target at most 2.5)\n", ours / baseline);
    std::printf("  peak memory of import   %8.1f MB (target under 100 MB)\n", peakKb / 1024.0);
    if (!ok) std::printf("  a run failed\n");
    return ok ? 0 : 1;
}
