#pragma once
// What a list shows while it has nothing: a large faint symbol, a title and one line of why.

#include <QWidget>

#include <string>

namespace kx {

class EmptyState : public QWidget {
    Q_OBJECT

public:
    EmptyState(std::string symbol, const QString& title, const QString& description, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_symbol;
    QString m_title;
    QString m_description;
};

}  // namespace kx
