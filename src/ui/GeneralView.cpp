#include "ui/GeneralView.h"

#include "controller/HotKeyText.h"
#include "controller/LaunchOptions.h"
#include "controller/LoginItem.h"
#include "controller/WindowPresenter.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Workspace.h"
#include "stores/BehaviorPrefs.h"
#include "stores/HistoryStore.h"
#include "stores/SoundPrefs.h"
#include "ui/DialogWidth.h"
#include "ui/FormSection.h"
#include "ui/ModeSelectorRow.h"
#include "ui/SwitchButton.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"
#include "ui/WheelGuard.h"
#include "ui/WindowPlacement.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

namespace kx {

namespace {

/// A button of the form: its symbol and title in one colour, at the row's leading edge.
QPushButton* formButton(const QString& title, const char* symbol, const QColor& color)
{
    auto* button = new QPushButton(Symbols::icon(symbol, color), title);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    // Focused from the keyboard only, as the desktop's link-like buttons are; then outlined, since a
    // button without a border shows no focus of its own.
    button->setFocusPolicy(Qt::TabFocus);
    button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: 2px solid transparent; "
                                         "border-radius: 4px; padding: 1px 2px; color: %1; }"
                                         "QPushButton:focus { border-color: %3; }"
                                         "QPushButton:disabled { color: %2; }")
                              .arg(color.name(), SystemColors::withAlpha(color, 0.35).name(QColor::HexArgb),
                                   SystemColors::withAlpha(SystemColors::blue(), 0.8).name(QColor::HexArgb)));
    return button;
}

const QString troubleshootingFooter = QStringLiteral(
    "While Troubleshooting mode is on, Kestrelix keeps a local, owner-only history of its own corrections so a "
    "problem can be reported with context. Turning the mode off deletes that history. Erase All Data clears the "
    "history, the stats, and the session log now. Nothing is ever sent anywhere.");

}  // namespace

GeneralView::StatTile::StatTile(std::int64_t value, const QString& label, QWidget* parent)
    : QWidget(parent), m_value(value), m_label(label)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void GeneralView::StatTile::setValue(std::int64_t value, const QString& label)
{
    m_value = value;
    m_label = label;
    update();
}

QSize GeneralView::StatTile::sizeHint() const
{
    const int valueHeight = QFontMetrics(Typography::rounded(28, QFont::DemiBold)).height();
    const int labelHeight = QFontMetrics(Typography::font(11, QFont::Medium)).height();
    return {120, 16 + valueHeight + 3 + labelHeight + 16};
}

void GeneralView::StatTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::withAlpha(SystemColors::label(this), 0.05));
    painter.drawRoundedRect(QRectF(rect()), 12, 12);

    const QFont valueFont = Typography::rounded(28, QFont::DemiBold);
    const QFont labelFont = Typography::font(11, QFont::Medium);
    const int valueHeight = QFontMetrics(valueFont).height();
    painter.setFont(valueFont);
    painter.setPen(SystemColors::label(this));
    painter.drawText(QRect(0, 16, width(), valueHeight), Qt::AlignCenter, QString::number(m_value));
    painter.setFont(labelFont);
    painter.setPen(SystemColors::secondaryLabel(this));
    painter.drawText(QRect(0, 16 + valueHeight + 3, width(), QFontMetrics(labelFont).height()), Qt::AlignCenter,
                     m_label.toUpper());
}

GeneralView::GeneralView(const SettingsContext& context, DrillViewFactory makeDrillView, QWidget* parent)
    : QWidget(parent), m_context(context), m_makeDrillView(std::move(makeDrillView))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* kpis = new QHBoxLayout;
    kpis->setContentsMargins(16, 16, 16, 2);
    kpis->setSpacing(10);
    m_fixedTile = new StatTile(0, {}, this);
    m_appsTile = new StatTile(0, {}, this);
    kpis->addWidget(m_fixedTile);
    kpis->addWidget(m_appsTile);
    layout->addLayout(kpis);

    // The tiles and the form are one page: the settings window scrolls them together with its
    // header, so on a small screen none of them holds on to room the others need.
    layout->addWidget(buildForm());
    layout->addStretch(1);

    BehaviorPrefs& behavior = *context.behavior;
    SoundPrefs& sound = *context.sound;
    m_subscriptions.push_back(context.store->changed.subscribe([this] { refreshStats(); }));
    m_subscriptions.push_back(behavior.correctionModeChanged.subscribe([this](CorrectionMode) { refreshMode(); }));
    m_subscriptions.push_back(behavior.troubleshootingChanged.subscribe([this](bool) { refreshTroubleshooting(); }));
    m_subscriptions.push_back(sound.enabledChanged.subscribe([this](bool) { refreshSound(); }));
    m_subscriptions.push_back(sound.nameChanged.subscribe([this](const std::string&) { refreshSound(); }));
    refreshStats();
    refreshMode();
    refreshSound();
    refreshTroubleshooting();
}

QWidget* GeneralView::buildForm()
{
    auto* form = new QWidget;
    auto* sections = new QVBoxLayout(form);
    sections->setContentsMargins(16, 14, 16, 16);
    sections->setSpacing(18);
    SoundPrefs& sound = *m_context.sound;
    SettingsActions& actions = *m_context.actions;

    // Correction mode: the status menu's segmented control.
    m_correction = new FormSection;
    auto* modeRow = new QWidget;
    auto* modeLayout = new QHBoxLayout(modeRow);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    modeLayout->addWidget(new QLabel(QStringLiteral("Correction")));
    modeLayout->addStretch(1);
    m_modePicker = new ModeSelectorRow(m_context.behavior->correctionMode());
    // The menu's width where the form has room; narrower, down to what its titles need, where not.
    m_modePicker->setMinimumWidth(ModeSelectorRow::titlesWidth());
    m_modePicker->setMaximumWidth(ModeSelectorRow::rowWidth());
    WheelGuard::install(m_modePicker);
    m_modePicker->onChange = [this](CorrectionMode chosen) { m_context.behavior->setCorrectionMode(chosen); };
    modeLayout->addWidget(m_modePicker);
    m_correction->addRow(modeRow);
    sections->addWidget(m_correction);

    // Login item.
    auto* startup = new FormSection(QStringLiteral("Startup"));
    m_launchAtLogin = new SwitchButton(QStringLiteral("Open Kestrelix at login"));
    m_launchAtLogin->setChecked(m_context.loginItem->status() == platform::LoginItem::Status::enabled);
    // The switch keeps the user's choice even when registering fails; the failure is logged.
    connect(m_launchAtLogin, &QAbstractButton::clicked, this,
            [this](bool on) { LoginItem::setEnabled(*m_context.loginItem, on); });
    startup->addRow(FormSection::labeledRow(m_launchAtLogin->accessibleName(), m_launchAtLogin));
    sections->addWidget(startup);

    // Swap sound.
    auto* soundSection = new FormSection(QStringLiteral("Sound"));
    m_soundSwitch = new SwitchButton(QStringLiteral("Play sound on swap"));
    connect(m_soundSwitch, &QAbstractButton::clicked, this, [&sound](bool on) { sound.setEnabled(on); });
    soundSection->addRow(FormSection::labeledRow(m_soundSwitch->accessibleName(), m_soundSwitch));
    m_soundPicker = new QComboBox;
    WheelGuard::install(m_soundPicker);
    for (const SoundChoice& choice : SoundPrefs::available())
        m_soundPicker->addItem(QString::fromStdString(choice.label), QString::fromStdString(choice.name));
    connect(m_soundPicker, &QComboBox::activated, this, [this, &sound](int chosen) {
        const std::string name = m_soundPicker->itemData(chosen).toString().toStdString();
        if (name == sound.name())
            return;
        sound.setName(name);
        sound.preview();
    });
    soundSection->addRow(FormSection::labeledRow(QStringLiteral("Sound"), m_soundPicker));
    m_preview = formButton(QStringLiteral("Preview"), "speaker.wave.2", SystemColors::blue());
    connect(m_preview, &QPushButton::clicked, this, [&sound] { sound.preview(); });
    soundSection->addRow(FormSection::labeledRow({}, m_preview));
    soundSection->setFooter(
        QStringLiteral("Plays whenever Kestrelix automatically rewrites a word. Manual swaps "
                       "(%1) stay silent.")
            .arg(QString::fromLatin1(convertHotKeyText.data(), qsizetype(convertHotKeyText.size()))));
    sections->addWidget(soundSection);

    // Troubleshooting.
    m_troubleshooting = new FormSection(QStringLiteral("Troubleshooting"));
    m_troubleshootingSwitch = new SwitchButton(QStringLiteral("Troubleshooting mode"));
    connect(m_troubleshootingSwitch, &QAbstractButton::clicked, this,
            [this](bool on) { setTroubleshootingRequested(on); });
    m_troubleshooting->addRow(
        FormSection::labeledRow(m_troubleshootingSwitch->accessibleName(), m_troubleshootingSwitch));

    auto* drill = formButton(QString::fromUtf8("Open Drill…"), "play.rectangle", SystemColors::blue());
    connect(drill, &QPushButton::clicked, this, [this] { openDrill(); });
    m_verbose = new SwitchButton(QStringLiteral("Verbose logging"));
    connect(m_verbose, &QAbstractButton::clicked, this, [this](bool on) { setVerbose(on); });
    auto* openLog = formButton(QStringLiteral("Open Log File"), "doc.text", SystemColors::blue());
    connect(openLog, &QPushButton::clicked, this, [this] { openLogFile(); });
    auto* diagnostics = formButton(QStringLiteral("Write Diagnostics to Log"), "stethoscope", SystemColors::blue());
    connect(diagnostics, &QPushButton::clicked, this, [&actions] { actions.runDiagnostics(); });
    auto* test = formButton(QStringLiteral("Test Correction (3s)"), "keyboard.badge.eye", SystemColors::blue());
    connect(test, &QPushButton::clicked, this, [&actions] { actions.testCorrection(); });
    auto* erase = formButton(QStringLiteral("Erase All Data"), "trash", SystemColors::red());
    connect(erase, &QPushButton::clicked, this, [this] { confirmErase(); });
    m_tools = {drill, FormSection::labeledRow(m_verbose->accessibleName(), m_verbose), openLog, diagnostics, test,
               erase};
    for (QWidget* tool : m_tools)
        m_troubleshooting->addRow(tool);
    sections->addWidget(m_troubleshooting);

    // Walkthrough and updates.
    auto* about = new FormSection;
    auto* walkthrough = formButton(QStringLiteral("How It Works"), "sparkles", SystemColors::blue());
    connect(walkthrough, &QPushButton::clicked, this, [this] { m_context.windows->showWalkthrough(); });
    auto* updates = formButton(QString::fromUtf8("Check for Updates…"), "arrow.down.circle", SystemColors::blue());
    connect(updates, &QPushButton::clicked, this, [&actions] { actions.checkForUpdates(); });
    about->addRow(walkthrough);
    about->addRow(updates);
    about->setFooter(QStringLiteral("You're on Kestrelix %1. Checking opens the Kestrelix site in your browser.")
                         .arg(QString::fromStdString(actions.appVersion())));
    sections->addWidget(about);

    // Feedback.
    auto* feedback = new FormSection;
    auto* send = formButton(QString::fromUtf8("Send Feedback…"), "envelope", SystemColors::blue());
    connect(send, &QPushButton::clicked, this, [&actions] { actions.showFeedback(); });
    feedback->addRow(send);
    feedback->setFooter(QString::fromUtf8("Kestrelix is in beta — thoughts, suggestions, and complaints are welcome."));
    sections->addWidget(feedback);
    sections->addStretch(1);
    return form;
}

QString GeneralView::fixedLabel(std::int64_t count)
{
    return count == 1 ? QStringLiteral("time fixed") : QStringLiteral("times fixed");
}

QString GeneralView::appsLabel(std::size_t count)
{
    return count == 1 ? QStringLiteral("app") : QStringLiteral("apps");
}

QString GeneralView::modeFooter(CorrectionMode mode)
{
    const QString hotKey = QString::fromLatin1(convertHotKeyText.data(), qsizetype(convertHotKeyText.size()));
    switch (mode) {
    case CorrectionMode::automatic:
        return QStringLiteral("Wrong-layout words are rewritten and the keyboard switches, right away.");
    case CorrectionMode::ask:
        return QString::fromUtf8("A small prompt appears by the mouse pointer. %1 applies it — or, any time, reaches "
                                 "back and fixes the run you just typed.")
            .arg(hotKey);
    case CorrectionMode::manual:
        return QString::fromUtf8("Kestrelix won’t act on its own. %1 still converts a selection, or reaches back "
                                 "over the run you just typed.")
            .arg(hotKey);
    }
    return {};
}

void GeneralView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_verbose->setChecked(m_context.actions->debugLogging());
    // Started to run a drill: troubleshooting without the password, and the drill at once. The
    // drill clears the option when it starts, so this happens once per launch.
    if (LaunchOptions::shared().drillPace) {
        m_context.behavior->setTroubleshooting(true);
        openDrill();
    }
}

void GeneralView::setTroubleshootingRequested(bool on)
{
    BehaviorPrefs& behavior = *m_context.behavior;
    HistoryStore& store = *m_context.store;
    if (!on) {
        behavior.setTroubleshooting(false);
        store.clear();
        return;
    }
    // The switch shows the stored mode until the password has been checked.
    m_troubleshootingSwitch->setChecked(behavior.troubleshooting());
    promptTroubleshootingPassword([&behavior, &store](bool unlocked) {
        behavior.setTroubleshooting(unlocked);
        if (!unlocked)
            store.clear();
    });
}

void GeneralView::promptTroubleshootingPassword(std::function<void(bool)> then)
{
    auto* prompt = new QDialog(window());
    prompt->setObjectName(QStringLiteral("troubleshootingPassword"));
    prompt->setWindowTitle(QStringLiteral("Troubleshooting Password"));
    prompt->setWindowModality(Qt::WindowModal);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(prompt);
    auto* message = new QLabel(QStringLiteral("Troubleshooting Password"), prompt);
    message->setFont(Typography::font(Typography::headline, QFont::Bold));
    auto* information = new QLabel(QStringLiteral("Troubleshooting mode is for diagnosing Kestrelix with support. "
                                                  "Enter the password to turn it on."),
                                   prompt);
    information->setWordWrap(true);
    auto* field = new QLineEdit(prompt);
    field->setEchoMode(QLineEdit::Password);
    // As tall as the desktop's text needs.
    field->setFixedWidth(240);
    auto* buttons = new QDialogButtonBox(prompt);
    QPushButton* unlock = buttons->addButton(QStringLiteral("Unlock"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    unlock->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, prompt, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, prompt, &QDialog::reject);
    layout->addWidget(message);
    layout->addWidget(information);
    layout->addWidget(field);
    layout->addWidget(buttons);
    DialogWidth::holdTitle(*prompt);

    connect(prompt, &QDialog::finished, this, [this, field, then = std::move(then)](int result) {
        if (result != QDialog::Accepted) {
            then(false);
            return;
        }
        // Exact match: case counts and nothing is trimmed.
        if (field->text() == QLatin1String(troubleshootingPassword)) {
            then(true);
            return;
        }
        auto* wrong = new QMessageBox(QMessageBox::Critical, QStringLiteral("Incorrect Password"),
                                      QStringLiteral("Incorrect Password"), QMessageBox::Ok, window());
        wrong->setObjectName(QStringLiteral("incorrectPassword"));
        wrong->setWindowModality(Qt::WindowModal);
        wrong->setAttribute(Qt::WA_DeleteOnClose);
        DialogWidth::holdTitle(*wrong);
        wrong->open();
        then(false);
    });
    prompt->open();
    prompt->raise();
    prompt->activateWindow();
    field->setFocus();
}

void GeneralView::confirmErase()
{
    auto* confirm = new QMessageBox(window());
    confirm->setObjectName(QStringLiteral("eraseConfirmation"));
    confirm->setWindowTitle(QStringLiteral("Erase all Kestrelix data?"));
    confirm->setText(QStringLiteral("Erase all Kestrelix data?"));
    confirm->setInformativeText(QStringLiteral("Clears the correction history, the lifetime stats, and the current "
                                               "session log. This can't be undone."));
    confirm->setIcon(QMessageBox::Warning);
    QPushButton* erase = confirm->addButton(QStringLiteral("Erase Everything"), QMessageBox::DestructiveRole);
    // Red, as a destructive answer is on every desktop.
    QPalette red = erase->palette();
    red.setColor(QPalette::ButtonText, SystemColors::red());
    erase->setPalette(red);
    QPushButton* cancel = confirm->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    // Return must never erase: the harmless answer is the default.
    confirm->setDefaultButton(cancel);
    confirm->setEscapeButton(cancel);
    confirm->setWindowModality(Qt::WindowModal);
    confirm->setAttribute(Qt::WA_DeleteOnClose);
    DialogWidth::holdTitle(*confirm);
    connect(confirm, &QMessageBox::buttonClicked, this, [this, erase](QAbstractButton* clicked) {
        if (clicked == erase)
            eraseEverything();
    });
    confirm->open();
}

void GeneralView::eraseEverything()
{
    m_context.store->eraseEverything();
    Log::erase();
    m_verbose->setChecked(false);
    m_context.actions->setDebugLogging(false);
    m_context.defaults->set(SettingsActions::debugLoggingKey, false);
}

void GeneralView::setVerbose(bool on)
{
    m_context.actions->setDebugLogging(on);
    m_context.defaults->set(SettingsActions::debugLoggingKey, m_context.actions->debugLogging());
}

void GeneralView::openDrill()
{
    if (m_drillSheet)
        return;
    m_drillSheet = new DrillSheet(*m_context.registry, m_makeDrillView, window());
    m_drillSheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_drillSheet, &QDialog::finished, this, [this] { m_drillSheet = nullptr; });
    WindowPlacement::fit(
        *m_drillSheet,
        QSize(DrillSheet::sheetWidth, DrillSheet::sheetHeight).expandedTo(m_drillSheet->minimumSizeHint()), true);
    m_drillSheet->open();
}

void GeneralView::openLogFile()
{
    m_context.actions->openLogFile();
}

void GeneralView::refreshStats()
{
    const HistoryStore& store = *m_context.store;
    m_fixedTile->setValue(store.lifetimeWordsFixed(), fixedLabel(store.lifetimeWordsFixed()));
    m_appsTile->setValue(std::int64_t(store.lifetimeApps().size()), appsLabel(store.lifetimeApps().size()));
}

void GeneralView::refreshMode()
{
    const CorrectionMode mode = m_context.behavior->correctionMode();
    m_correction->setFooter(modeFooter(mode));
    // The same control for the view's life, so it keeps its place in the Tab order.
    m_modePicker->showMode(mode);
}

void GeneralView::refreshSound()
{
    const SoundPrefs& sound = *m_context.sound;
    m_soundSwitch->setChecked(sound.enabled());
    // A stored sound that is not offered (chosen before, or written by hand) is shown as it is,
    // so the picker never claims another sound plays.
    const QString stored = QString::fromStdString(sound.name());
    if (m_soundPicker->findData(stored) < 0)
        m_soundPicker->addItem(QString::fromStdString(SoundPrefs::label(sound.name())), stored);
    m_soundPicker->setCurrentIndex(m_soundPicker->findData(stored));
    m_soundPicker->setEnabled(sound.enabled());
    m_preview->setEnabled(sound.enabled());
}

void GeneralView::refreshTroubleshooting()
{
    const bool on = m_context.behavior->troubleshooting();
    m_troubleshootingSwitch->setChecked(on);
    for (QWidget* tool : m_tools)
        tool->setVisible(on);
    m_troubleshooting->setFooter(on ? troubleshootingFooter : QString());
}

}  // namespace kx
