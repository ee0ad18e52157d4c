#pragma once
// The one seam through which the plug-in talks to the user in modal boxes: message boxes,
// questions and file dialogs. Windows call prompt(); tests install a ScriptedPrompt
// (prompt_scripted.h) so nothing ever waits for a click.
#include <QString>
#include <QStringList>

class QWidget;

namespace unitarc::ui {

class Prompt {
public:
    virtual ~Prompt() = default;

    // Message boxes with one OK button and the icon of their kind.
    virtual void information(const QString& text, const QString& caption) = 0;
    virtual void warning(const QString& text, const QString& caption) = 0;
    virtual void error(const QString& text, const QString& caption) = 0;
    // A question with OK and Cancel: true for OK.
    virtual bool question(const QString& text, const QString& caption) = 0;

    // File dialogs: the chosen paths, empty when cancelled. filter is in Qt's form,
    // e.g. "数据包 (*.zip)".
    virtual QStringList openFiles(const QString& title, const QString& filter) = 0;
    virtual QString openFile(const QString& title, const QString& filter) = 0;
    virtual QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) = 0;
};

// The installed prompt: real dialogs unless a test installed its own.
Prompt& prompt();
// Installs a prompt (not owned); nullptr puts the real dialogs back.
void installPrompt(Prompt* p);

// The application's title: the caption of most message boxes.
QString applicationTitle();
// An information box captioned with the application's title.
void infoBox(const QString& text);
// An error box captioned with the application's title.
void errorBox(const QString& text);

}  // namespace unitarc::ui
