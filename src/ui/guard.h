#pragma once
// No exception leaves an event handler: what escapes is shown in an error box captioned
// with the application's title, as an application's default error report would.
#include <QApplication>
#include <QString>

#include <exception>

#include "ui/prompt.h"

namespace unitarc::ui {

template <typename Handler>
void guarded(Handler&& handler) noexcept {
    try {
        try {
            handler();
        } catch (const std::exception& e) {
            errorBox(QString::fromUtf8(e.what()));
        } catch (...) {
            errorBox(QStringLiteral("未知错误"));
        }
    } catch (...) {
        // The error box itself failed: nothing more can be reported.
    }
}

// The hourglass cursor for the lifetime of the object.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace unitarc::ui
