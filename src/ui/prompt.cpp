#include "ui/prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>

namespace unitarc::ui {

namespace {

// Dialogs need widgets; a host without them (headless) gets the text on standard error.
bool haveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QWidget* dialogParent() { return QApplication::activeWindow(); }

// The texts keep the CR LF line breaks they were joined with; a label wants plain ones.
QString shown(const QString& text) {
    QString plain = text;
    return plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void toStandardError(const char* kind, const QString& text, const QString& caption) {
    std::fprintf(stderr, "%s: %s: %s\n", kind, caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
}

class DialogPrompt final : public Prompt {
public:
    void information(const QString& text, const QString& caption) override {
        if (!haveWidgets()) return toStandardError("information", text, caption);
        QMessageBox::information(dialogParent(), caption, shown(text), QMessageBox::Ok);
    }
    void warning(const QString& text, const QString& caption) override {
        if (!haveWidgets()) return toStandardError("warning", text, caption);
        QMessageBox::warning(dialogParent(), caption, shown(text), QMessageBox::Ok);
    }
    void error(const QString& text, const QString& caption) override {
        if (!haveWidgets()) return toStandardError("error", text, caption);
        QMessageBox::critical(dialogParent(), caption, shown(text), QMessageBox::Ok);
    }
    bool question(const QString& text, const QString& caption) override {
        if (!haveWidgets()) {
            toStandardError("question", text, caption);
            return false;
        }
        return QMessageBox::question(dialogParent(), caption, shown(text), QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    }
    QStringList openFiles(const QString& title, const QString& filter) override {
        if (!haveWidgets()) return {};
        return QFileDialog::getOpenFileNames(dialogParent(), title, QString(), filter);
    }
    QString openFile(const QString& title, const QString& filter) override {
        if (!haveWidgets()) return {};
        return QFileDialog::getOpenFileName(dialogParent(), title, QString(), filter);
    }
    QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) override {
        if (!haveWidgets()) return {};
        return QFileDialog::getSaveFileName(dialogParent(), title, suggestedName, filter);
    }
};

DialogPrompt g_dialogs;
Prompt* g_installed = nullptr;

}  // namespace

Prompt& prompt() { return g_installed ? *g_installed : g_dialogs; }

void installPrompt(Prompt* p) { g_installed = p; }

QString applicationTitle() { return QGuiApplication::applicationDisplayName(); }

void infoBox(const QString& text) { prompt().information(text, applicationTitle()); }

void errorBox(const QString& text) { prompt().error(text, applicationTitle()); }

}  // namespace unitarc::ui
