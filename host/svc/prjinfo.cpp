// casecore: the current project's basic information as an XML file.
#include "svc/state.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

#include <QFile>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <filesystem>

using namespace hostwork::detail;

extern "C" int GetPrjInfo(char* out, size_t cap) {
    try {
        const std::string serial = hostwork::currentProject();
        if (serial.empty()) return 0;
        const hostwork::ProjectInfo info = hostwork::projectInfo(serial);
        if (info.serial.empty()) return 0;

        const std::string folder = tempFolder() + "prjinfo/";
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) return 0;
        const std::string path = folder + "项目基本信息.xml";

        QSaveFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::WriteOnly)) return 0;
        QXmlStreamWriter xml(&file);
        xml.setAutoFormatting(true);
        xml.writeStartDocument();
        xml.writeStartElement(QStringLiteral("项目基本信息"));
        const auto field = [&xml](const char* element, const char* caption, const std::string& value) {
            xml.writeStartElement(QString::fromLatin1(element));
            xml.writeAttribute(QStringLiteral("name"), QString::fromUtf8(caption));
            xml.writeCharacters(QString::fromStdString(value));
            xml.writeEndElement();
        };
        field("PrjID", "项目编号", info.serial);
        field("PrjName", "项目名称", info.name);
        field("AuditedCorpID", "被审计单位编码", info.auditedCorpId);
        field("PrjExecuteOrganID", "审计机关代码", info.organId);
        xml.writeEndElement();
        xml.writeEndDocument();
        if (xml.hasError() || !file.commit()) return 0;

        // A path that does not fit would be a wrong path: report it as unavailable.
        if (putText(path, out, cap) >= cap) return 0;
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}
