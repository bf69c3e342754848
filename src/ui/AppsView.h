#pragma once
// The Apps tab: every application the policy store knows, with a switch for each one the user may
// turn off, and the always-off ones apart, dimmed and locked. It reads and writes only through the
// policy store; the list is loaded when the tab is made and reloaded after each switch.

#include "platform/Observable.h"
#include "stores/PolicyStore.h"

#include <QWidget>

#include <memory>
#include <vector>

class QVBoxLayout;

namespace kx {

class BehaviorPrefs;
class FormSection;
class MiniToggle;

class AppsView : public QWidget {
    Q_OBJECT

public:
    /// Both must outlive the view.
    AppsView(PolicyStore& policy, BehaviorPrefs& behavior, QWidget* parent = nullptr);

    const std::vector<AppInfo>& apps() const { return m_apps; }
    /// The applications the user may switch, in the order of apps().
    std::vector<AppInfo> controllable() const;
    /// The always-off applications, in the order of apps().
    std::vector<AppInfo> locked() const;
    /// The switch of a controllable application's row; null for others.
    MiniToggle* toggle(const std::string& appID) const;
    /// The subtitle shown under an application's name in troubleshooting mode; empty otherwise.
    QString subtitle(const std::string& appID) const;
    /// The "Always off" section; null when no application is always off.
    FormSection* lockedSection() const { return m_locked; }

    /// What troubleshooting mode shows under an application's name.
    static QString subtitleFor(const AppInfo& app);

private:
    void load();
    void rebuild();
    void setEnabled(bool on, const std::string& appID);
    QWidget* row(const AppInfo& app, QWidget* trailing);

    PolicyStore& m_policy;
    BehaviorPrefs& m_behavior;
    std::vector<AppInfo> m_apps;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_layout;
    FormSection* m_locked = nullptr;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
