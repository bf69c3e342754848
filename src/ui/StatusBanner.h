#pragma once
// The strip under the settings window's header that says what keeps Kestrelix from working: a
// missing permission, Secure Input stuck on, a secure text field in front, settings and history
// that cannot be saved, or a missing word list. It follows the run state the controller publishes
// and the files that fail to save, and is hidden while all is well.

#include "controller/RuntimeStatus.h"
#include "platform/Observable.h"
#include "platform/UnsavedFiles.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace kx {

class SettingsActions;
class WindowPresenter;

class StatusBanner : public QWidget {
    Q_OBJECT

public:
    enum class Kind { permissions, stuck, field, unsaved, wordList };

    struct Content {
        std::string symbol;
        QColor color;
        QString title;
        QString text;
    };

    /// All three must outlive the banner; windows opens the setup from the permissions banner.
    StatusBanner(SettingsActions& actions, WindowPresenter& windows, QWidget* parent = nullptr,
                 UnsavedFiles& unsaved = UnsavedFiles::shared());

    /// The first problem that holds, in order of how much it stops; none when all is well.
    static std::optional<Kind> kind(const RuntimeStatus& status, bool blockedForField,
                                    const std::vector<UnsavedFiles::Failure>& unsaved = {});
    static Content content(Kind kind, const RuntimeStatus& status,
                           const std::vector<UnsavedFiles::Failure>& unsaved = {});

    QString title() const;
    QString text() const;
    /// "Open Setup"; shown for the permissions banner only.
    QPushButton* setupButton() const { return m_setup; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    SettingsActions& m_actions;
    UnsavedFiles& m_unsaved;
    std::optional<Kind> m_kind;
    std::string m_fieldHolder;  // who held the field, shown through the grace after it was left
    QColor m_color;
    QLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_text;
    QPushButton* m_setup;
    std::unique_ptr<Subscription> m_subscription;
    std::unique_ptr<Subscription> m_unsavedSubscription;
};

}  // namespace kx
