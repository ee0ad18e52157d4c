#pragma once
// The test twin of the prompt: records every box and dialog with its kind, caption and
// text, answers from preset queues and never blocks.
//
//   ScriptedPrompt p;  ScopedPrompt installed(p);
//   p.answers = {false};                       // the next question is cancelled
//   p.fileAnswers = {{"/tmp/a.zip"}};          // the next openFiles returns one file
//   ... run the window ...
//   EXPECT_EQ(p.texts(ScriptedPrompt::Kind::Information), QStringList{"导入完成！"});
#include <deque>
#include <vector>

#include "ui/prompt.h"

namespace unitarc::ui {

class ScriptedPrompt : public Prompt {
public:
    enum class Kind { Information, Warning, Error, Question, OpenFiles, OpenFile, SaveFile };
    struct Shown {
        Kind kind;
        QString caption;  // the title of a file dialog
        QString text;     // the filter of a file dialog
    };

    std::vector<Shown> shown;
    std::deque<bool> answers;              // for questions, in order
    bool defaultAnswer = false;            // when answers run out: Cancel
    std::deque<QStringList> fileAnswers;   // for openFiles, openFile and saveFile (first entry), in order

    void information(const QString& text, const QString& caption) override { add(Kind::Information, text, caption); }
    void warning(const QString& text, const QString& caption) override { add(Kind::Warning, text, caption); }
    void error(const QString& text, const QString& caption) override { add(Kind::Error, text, caption); }
    bool question(const QString& text, const QString& caption) override {
        add(Kind::Question, text, caption);
        if (answers.empty()) return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList openFiles(const QString& title, const QString& filter) override {
        add(Kind::OpenFiles, filter, title);
        return nextFiles();
    }
    QString openFile(const QString& title, const QString& filter) override {
        add(Kind::OpenFile, filter, title);
        const QStringList files = nextFiles();
        return files.isEmpty() ? QString() : files.front();
    }
    QString saveFile(const QString& title, const QString& filter, const QString&) override {
        add(Kind::SaveFile, filter, title);
        const QStringList files = nextFiles();
        return files.isEmpty() ? QString() : files.front();
    }

    // The texts shown with one kind, in order.
    QStringList texts(Kind kind) const {
        QStringList found;
        for (const auto& s : shown)
            if (s.kind == kind) found << s.text;
        return found;
    }
    void clear() { shown.clear(); }

private:
    void add(Kind kind, const QString& text, const QString& caption) { shown.push_back({kind, caption, text}); }
    QStringList nextFiles() {
        if (fileAnswers.empty()) return {};
        QStringList files = fileAnswers.front();
        fileAnswers.pop_front();
        return files;
    }
};

// Installs a prompt for its lifetime; the real dialogs come back afterwards.
class ScopedPrompt {
public:
    explicit ScopedPrompt(Prompt& p) { installPrompt(&p); }
    ~ScopedPrompt() { installPrompt(nullptr); }
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;
};

}  // namespace unitarc::ui
