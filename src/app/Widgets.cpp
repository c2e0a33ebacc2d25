#include "app/Widgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QValidator>
#include <algorithm>
#include <limits>

QString normalizedInteger(const QString& text) {
    qsizetype i = 0;
    auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    };
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate in 64 bits and stop growing once past the 32-bit range.
    long long value = 0;
    constexpr long long cap = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = std::min(cap, value * 10 + (text[i].unicode() - u'0'));
        ++i;
    }
    if (negative) value = -value;
    value = std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max());
    return value == 0 ? QString() : QString::number(value);
}

namespace {

// Limits the length of pasted or dropped text. setText bypasses validators,
// so the program's own texts are never cut.
class LengthLimit : public QValidator {
public:
    LengthLimit(int maxLength, QObject* parent) : QValidator(parent), maxLength_(maxLength) {}
    State validate(QString& input, int&) const override {
        return input.size() <= maxLength_ ? Acceptable : Invalid;
    }

private:
    int maxLength_;
};

bool isControl(QChar c) { return c.unicode() < 32 || c.unicode() == 127; }

}  // namespace

RuleEdit::RuleEdit(InputRule rule, int maxLength, QWidget* parent)
    : QLineEdit(parent), rule_(rule), maxLength_(maxLength) {
    if (maxLength_ > 0) setValidator(new LengthLimit(maxLength_, this));
    if (rule_ == InputRule::Password) setEchoMode(QLineEdit::Password);
}

bool RuleEdit::accepts(const QString& typed) const {
    if (rule_ == InputRule::Digits || rule_ == InputRule::Integer) {
        for (QChar c : typed) {
            if (!((c >= u'0' && c <= u'9') || c == u'-')) return false;
        }
    }
    if (maxLength_ > 0) {
        const qsizetype kept = text().size() - selectedText().size();
        if (kept + typed.size() > maxLength_) return false;
    }
    return true;
}

void RuleEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool printable =
        !typed.isEmpty() && std::none_of(typed.begin(), typed.end(), isControl) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (printable && !accepts(typed)) {
        event->accept();  // refused: the key does nothing
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void RuleEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    if (!committed.isEmpty() && !accepts(committed)) {
        QInputMethodEvent emptied(event->preeditString(), event->attributes());
        QLineEdit::inputMethodEvent(&emptied);
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void RuleEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (rule_ != InputRule::Integer) return;
    const QString rewritten = normalizedInteger(text());
    if (rewritten != text()) setText(rewritten);
}

ClickArea::ClickArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void ClickArea::setText(const QString& text) {
    text_ = text;
    update();
}

void ClickArea::setTextColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Disabled, QPalette::WindowText, color);
    setPalette(p);
}

void ClickArea::paintEvent(QPaintEvent*) {
    if (text_.isEmpty()) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), static_cast<int>(alignment_) | Qt::TextSingleLine, text_);
}

void ClickArea::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && onLeftPress) onLeftPress();
}

void ClickArea::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void ClickArea::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double-click is a second press.
    mousePressEvent(event);
}

TopWindow::TopWindow(Window window, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), window_(window) {}

void TopWindow::closeEvent(QCloseEvent* event) {
    if (!onClose || onClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}
