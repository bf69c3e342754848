#pragma once
// The small floating button that ask mode shows beside the pointer while a swap waits: a blue
// rounded capsule reading "Swap" and the hot key. A click accepts the swap, like the hot key. It
// never takes the focus from the application being typed in, and it knows nothing of corrections:
// it places itself, fades, and reports clicks.

#include "controller/SuggestionPromptView.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>
#include <optional>
#include <vector>

class QPropertyAnimation;
class QWidget;

namespace kx {

class SuggestionPrompt final : public SuggestionPromptView {
public:
    /// A screen as the placement sees it: its whole area and the part free of panels and docks.
    struct Screen {
        QRect frame;
        QRect available;
    };

    SuggestionPrompt();
    ~SuggestionPrompt() override;
    SuggestionPrompt(const SuggestionPrompt&) = delete;
    SuggestionPrompt& operator=(const SuggestionPrompt&) = delete;

    /// Builds the panel on first use, places it beside point and fades it in.
    void show(platform::ScreenPoint at) override;
    /// Fades a visible prompt out, then hides it; nothing when it is not visible.
    void hide() override;
    bool contains(platform::ScreenPoint point) const override;

    /// Null until the first show; then the same panel for the prompt's life.
    QWidget* panel() const;

    /// The panel's top-left corner for a pointer at pointer: up and to the right of it, kept 4
    /// inside the available area of the first screen that holds the pointer, else of the main
    /// screen, else unclamped. The top and right edges win when the area is too small.
    static QPoint placement(QPointF pointer, QSize size, const std::vector<Screen>& screens,
                            const std::optional<QRect>& mainAvailable);

private:
    class Panel;

    std::unique_ptr<Panel> m_panel;
    QPropertyAnimation* m_fade = nullptr;  // owned by the panel
    bool m_fadingOut = false;
};

}  // namespace kx
