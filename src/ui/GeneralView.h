#pragma once
// The General tab: the lifetime counters over a form of the correction mode, the login item, the
// swap sound, troubleshooting (a password-protected switch and, while it is on, the diagnostic
// tools), the walkthrough, updates and feedback. It also hosts the drill sheet, and opens it by
// itself when the program was started to run a drill.

#include "controller/SettingsActions.h"
#include "engine/CorrectionMode.h"
#include "platform/Observable.h"
#include "ui/DrillSheet.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QPushButton;

namespace kx {

class FormSection;
class ModeSelectorRow;
class SwitchButton;

class GeneralView : public QWidget {
    Q_OBJECT

public:
    /// The password that unlocks troubleshooting mode, compared exactly.
    static constexpr const char* troubleshootingPassword = "TR5820";

    /// A lifetime counter: a large number over a small upper-case label.
    class StatTile : public QWidget {
    public:
        StatTile(std::int64_t value, const QString& label, QWidget* parent);
        void setValue(std::int64_t value, const QString& label);
        std::int64_t value() const { return m_value; }
        const QString& label() const { return m_label; }
        QSize sizeHint() const override;

    protected:
        void paintEvent(QPaintEvent* event) override;

    private:
        std::int64_t m_value;
        QString m_label;
    };

    /// Everything in context must outlive the view. launchAtLogin is read from the login item now.
    GeneralView(const SettingsContext& context, DrillViewFactory makeDrillView, QWidget* parent = nullptr);

    /// "time fixed" for exactly one, else "times fixed".
    static QString fixedLabel(std::int64_t count);
    /// "app" for exactly one, else "apps".
    static QString appsLabel(std::size_t count);
    static QString modeFooter(CorrectionMode mode);

    StatTile* fixedTile() const { return m_fixedTile; }
    StatTile* appsTile() const { return m_appsTile; }
    /// The mode picker; it follows the mode when it is changed elsewhere.
    ModeSelectorRow* modePicker() const { return m_modePicker; }
    FormSection* correctionSection() const { return m_correction; }
    FormSection* troubleshootingSection() const { return m_troubleshooting; }
    SwitchButton* launchAtLoginSwitch() const { return m_launchAtLogin; }
    SwitchButton* soundSwitch() const { return m_soundSwitch; }
    QComboBox* soundPicker() const { return m_soundPicker; }
    QPushButton* previewButton() const { return m_preview; }
    SwitchButton* troubleshootingSwitch() const { return m_troubleshootingSwitch; }
    SwitchButton* verboseSwitch() const { return m_verbose; }
    /// The six tools shown only in troubleshooting mode, in order.
    const std::vector<QWidget*>& troubleshootingTools() const { return m_tools; }
    /// The drill sheet while it is open; null otherwise.
    DrillSheet* drillSheet() const { return m_drillSheet; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildForm();
    void setTroubleshootingRequested(bool on);
    /// Asks for the password in a window-modal prompt; then reports whether it matched.
    void promptTroubleshootingPassword(std::function<void(bool)> then);
    void confirmErase();
    void eraseEverything();
    void setVerbose(bool on);
    void openDrill();
    void openLogFile();
    void refreshStats();
    void refreshSound();
    void refreshTroubleshooting();
    void refreshMode();

    SettingsContext m_context;
    DrillViewFactory m_makeDrillView;
    StatTile* m_fixedTile = nullptr;
    StatTile* m_appsTile = nullptr;
    FormSection* m_correction = nullptr;
    ModeSelectorRow* m_modePicker = nullptr;
    SwitchButton* m_launchAtLogin = nullptr;
    SwitchButton* m_soundSwitch = nullptr;
    QComboBox* m_soundPicker = nullptr;
    QPushButton* m_preview = nullptr;
    FormSection* m_troubleshooting = nullptr;
    SwitchButton* m_troubleshootingSwitch = nullptr;
    SwitchButton* m_verbose = nullptr;
    std::vector<QWidget*> m_tools;
    DrillSheet* m_drillSheet = nullptr;
    std::vector<std::unique_ptr<Subscription>> m_subscriptions;
};

}  // namespace kx
