#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>

#include "app/ControlTable.h"

// The integer rewrite of a day box when the focus leaves it: leading blanks and
// one sign, digits up to the first other character, clamped to 32 bits; 0 (or
// no digits) becomes the empty text.
QString normalizedInteger(const QString& text);

// A one-line edit box whose keyboard input follows an InputRule. Only typed
// characters are filtered and counted against the limit; text the program sets
// is taken as it is, and pasted text only counts against the limit.
class RuleEdit : public QLineEdit {
public:
    RuleEdit(InputRule rule, int maxLength, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool accepts(const QString& typed) const;

    InputRule rule_;
    int maxLength_;
};

// A transparent label: draws its text (if any) over whatever lies beneath and
// takes every mouse press over its area. Left presses go to onLeftPress while
// the label is enabled.
class ClickArea : public QWidget {
public:
    explicit ClickArea(QWidget* parent);
    QString text() const { return text_; }
    void setText(const QString& text);
    void setAlignment(Qt::Alignment alignment) { alignment_ = alignment; }
    void setTextColor(const QColor& color);

    std::function<void()> onLeftPress;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

// A top-level window that asks before it closes: onClose answers whether the
// close may go on.
class TopWindow : public QWidget {
public:
    TopWindow(Window window, Qt::WindowFlags flags);
    Window role() const { return window_; }

    std::function<bool()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Window window_;
};
