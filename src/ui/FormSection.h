#pragma once
// One group of a settings form or list: an optional header, the rows on a rounded tinted panel
// with hairlines between the rows that are shown, and an optional footer in small grey text.

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace kx {

class FormSection : public QWidget {
    Q_OBJECT

public:
    /// An empty header shows none.
    explicit FormSection(const QString& header = {}, QWidget* parent = nullptr);

    /// Adds row at the bottom of the panel; the section takes ownership.
    void addRow(QWidget* row);
    /// An empty footer hides it.
    void setFooter(const QString& footer);
    QString footer() const;
    const QString& header() const { return m_header; }
    /// The header's label; null without a header.
    QLabel* headerLabel() const { return m_headerLabel; }

    /// A row of a label on the left and control on the right.
    static QWidget* labeledRow(const QString& label, QWidget* control);
    /// The small grey text of footers and subtitles.
    static QFont captionFont();

private:
    QString m_header;
    QLabel* m_headerLabel = nullptr;
    QWidget* m_panel;
    QVBoxLayout* m_rows;
    QLabel* m_footer;
};

}  // namespace kx
