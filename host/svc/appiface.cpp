// The host program's interfaces for other modules: the Word export of a working paper and
// the registration of a data package.
#include "svc/state.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

#include <QDateTime>
#include <QString>

#include <cstdint>

#include <filesystem>
#include <fstream>

using namespace hostwork::detail;

namespace {

// RTF text: ASCII as it is (control characters escaped), everything else as \uN? in
// UTF-16 units, which every RTF reader understands.
std::string rtfText(const std::string& utf8) {
    std::string out;
    const QString text = QString::fromStdString(utf8);
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\n') {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x80) {
            out += static_cast<char>(u);
        } else if (u >= 0x80) {
            out += "\\u" + std::to_string(static_cast<int16_t>(u)) + "?";
        }
    }
    return out;
}

// The working paper's caption from the current project's resources; the type's caption or
// name when it is not there.
std::string paperCaption(const std::string& typeName, const std::string& param) {
    try {
        if (sqlite3* db = projectDb()) {
            hostwork::sql::Statement st(db, "SELECT ResCaption FROM KQ_ResTrv WHERE ResTypeName = ?1 AND ResParam = ?2");
            st.bind(1, typeName).bind(2, param);
            if (st.step() && !st.text(0).empty()) return st.text(0);
        }
        if (sqlite3* db = baseDb()) {
            hostwork::sql::Statement st(db, "SELECT TypeCaption FROM KQ_TypeInfo WHERE TypeName = ?1");
            st.bind(1, typeName);
            if (st.step() && !st.text(0).empty()) return st.text(0);
        }
    } catch (const std::exception&) {
    }
    return typeName;
}

int exportDataToWord(const char* resTypeName, const char* resParam, const char* path) {
    try {
        const std::string typeName = str(resTypeName), param = str(resParam), target = str(path);
        record("exportDataToWord", {typeName, param, target});
        if (target.empty()) return 0;
        const std::filesystem::path file(target);
        std::error_code ec;
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
        if (ec) return 0;

        const std::string stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString();
        std::string rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 WenQuanYi Micro Hei;}}\n";
        rtf += "\\uc1\\pard\\qc\\b\\fs32 " + rtfText(paperCaption(typeName, param)) + "\\b0\\par\n";
        rtf += "\\pard\\fs22 " + rtfText("资源类型：" + typeName) + "\\par\n";
        rtf += rtfText("参数：" + param) + "\\par\n";
        rtf += rtfText("导出时间：" + stamp) + "\\par\n}\n";

        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << rtf;
        out.close();
        return out ? 1 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void referenceDataPackageShow(const char* title, const char* archive, const char* kind, int n) {
    record("ReferenceDataPackage_Show", {str(title), str(archive), str(kind), std::to_string(n)});
}

bool sameName(const char* a, const char* b) {
    return a && QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

extern "C" void* KQGetAppInterface(const char* module, const char* function, int /*flag*/) {
    const std::string fn = str(function);
    if (sameName(module, "DGGL") && fn == "exportDataToWord")
        return reinterpret_cast<void*>(&exportDataToWord);
    if (sameName(module, "XMGL") && fn == "ReferenceDataPackage_Show")
        return reinterpret_cast<void*>(&referenceDataPackageShow);
    return nullptr;
}
