#pragma once
// The red banner at the top of the status menu while a password field or another program holds
// the keyboard: Kestrelix is paused, and by which application; or, when the holder has quit, that
// it is stuck until the user logs out. Built once per menu from two values; no interaction.

#include <QTextDocument>
#include <QWidget>

#include <string>

namespace kx {

class SecureInputBanner : public QWidget {
    Q_OBJECT

public:
    static constexpr int bannerWidth = 300;
    static constexpr int minimumHeight = 40;

    /// holder: the application's display name, empty when none was found.
    SecureInputBanner(const std::string& holder, bool stuck, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {bannerWidth, height()}; }
    /// The banner's text without its formatting.
    /// The banner's text, its symbols read as the emoji they stand for.
    QString text() const;
    /// The banner's text with its fonts and colours, as drawn.
    const QTextDocument& document() const { return m_text; }
    /// The blocked variant's name: a name of 33 characters or more is cut to 31 and an ellipsis.
    static QString shortName(const std::string& holder);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTextDocument m_text;
};

}  // namespace kx
