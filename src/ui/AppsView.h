#pragma once
// The Apps tab: the applications the policy store knows that are installed or have run, once
// each, with a switch for each one the user may turn off, and the always-off ones apart, dimmed and
// locked. It reads and writes only through the policy store; the list is loaded when the tab is
// made and reloaded after each switch.

#include "platform/Observable.h"
#include "stores/PolicyStore.h"
#include "ui/AppsListing.h"

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
    /// Both must outlive the view. entries: where an application's desktop entry is found.
    AppsView(PolicyStore& policy, BehaviorPrefs& behavior,
             AppsListing::EntryLookup entries = AppsListing::installedEntries(), QWidget* parent = nullptr);

    const std::vector<ListedApp>& apps() const { return m_apps; }
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
    void setEnabled(bool on, const std::vector<std::string>& ids);
    QWidget* row(const ListedApp& listed, QWidget* trailing);

    PolicyStore& m_policy;
    BehaviorPrefs& m_behavior;
    AppsListing::EntryLookup m_entries;
    std::vector<ListedApp> m_apps;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_layout;
    FormSection* m_locked = nullptr;
    std::unique_ptr<Subscription> m_subscription;
};

}  // namespace kx
