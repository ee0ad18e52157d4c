// The hostwork program as a process: demo creation and the offscreen screenshot run.
#include "hosttest.h"

#include "tests/paths.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

struct Outcome {
    int exitCode;
    QString out;
};

Outcome hostwork(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(UNITARC_HOST_DIR "/hostwork"), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput())};
}

TEST(Hostwork, initDemoCreatesTheWorkspaceAndRefusesToOverwriteIt) {
    Scratch scratch;
    const QString dir = QString::fromStdString(scratch / "ws");
    const Outcome first = hostwork({QStringLiteral("--init-demo"), dir});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_TRUE(stdfs::is_regular_file(scratch / "ws/base.db"));
    EXPECT_TRUE(stdfs::is_regular_file(scratch / "ws/projects/P2026001/project.db"));
    EXPECT_TRUE(stdfs::is_regular_file(scratch / "ws/projects/P2026002/project.db"));
    EXPECT_NE(hostwork({QStringLiteral("--init-demo"), dir}).exitCode, 0);
}

TEST(Hostwork, screenshotRunSavesTheMainWindowAndExits) {
    Scratch scratch;
    const QString dir = QString::fromStdString(scratch / "ws");
    ASSERT_EQ(hostwork({QStringLiteral("--init-demo"), dir}).exitCode, 0);
    const QString shot = QString::fromStdString(scratch / "main.png");
    const Outcome run = hostwork({QStringLiteral("--workspace"), dir, QStringLiteral("--project"), QStringLiteral("P2026001"),
                              QStringLiteral("--screenshot"), shot});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(shot));
    ASSERT_TRUE(stdfs::is_regular_file(scratch / "main.png"));
    EXPECT_EQ(readFile(scratch / "main.png").substr(1, 3), "PNG");
}

}  // namespace
