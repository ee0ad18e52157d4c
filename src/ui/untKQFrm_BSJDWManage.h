#pragma once
// The management window: the entity tree and its lists. Lives in the host's MDI area.
#include <QWidget>

#include <memory>

namespace Ui {
class TKQFrm_BSJDWManage;
}

namespace unitarc::ui {

class TKQFrm_BSJDWManage : public QWidget {
    Q_OBJECT
    // Readable by tests that reach the window only through the library's exports.
    Q_PROPERTY(int reloadCount READ reloadCount)

public:
    // The component name by which the entry finds the window again.
    static constexpr const char* kName = "KQFrm_BSJDWManage";

    explicit TKQFrm_BSJDWManage(QWidget* parent = nullptr);
    ~TKQFrm_BSJDWManage() override;

    // The open management window, when there is one.
    static TKQFrm_BSJDWManage* find();

    // Shows the window maximised in the host's MDI area (a top-level window when the host
    // has none) and brings it to the front. The tree loads only when the window becomes
    // visible, so showing an open window again does not reload it.
    void showInHost();
    // Closes the window together with its MDI frame; it is freed and no longer found.
    void closeInHost();

    // Reloads the entity tree; verb names what caused it ("导入", "保存", ... or empty).
    void reloadTree(const QString& verb);
    int reloadCount() const { return m_reloadCount; }

private:
    std::unique_ptr<Ui::TKQFrm_BSJDWManage> m_ui;
    int m_reloadCount = 0;
};

}  // namespace unitarc::ui
