#include "app/QtView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>

#include "app/ControlTable.h"
#include "app/Text.h"
#include "app/Widgets.h"

static void initResources() { Q_INIT_RESOURCE(karvath); }

namespace {

constexpr const char* kIconResource = ":/karvath/karvath.png";
constexpr int kTrayTipBytes = 62;
constexpr int kWindowFontPixels = 12;

QColor rgb(unsigned value) { return QColor::fromRgb(value); }

Qt::Alignment alignmentOf(const ControlSpec& s, Qt::Alignment fallback) {
    switch (s.align) {
        case Align::Left:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Align::Center:
            return Qt::AlignCenter;
        case Align::Default:
            break;
    }
    return fallback;
}

// Shows the password mask as "*" whatever the style's own choice.
class StarMaskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A message box that, with Yes and No, can only be left by choosing one.
class MessageBox : public QMessageBox {
public:
    bool mustChoose = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (mustChoose) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (mustChoose && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

// Texts as Qt shows them in the multi-line boxes: the program's "\r\n" line
// ends become Qt's "\n". `after` is what the box held before, so that a "\r"
// and a "\n" arriving in two pieces still make one line break.
QString displayText(const std::string& bytes, const std::string& after = {}) {
    std::string_view text = bytes;
    if (!after.empty() && after.back() == '\r' && !text.empty() && text.front() == '\n') {
        text.remove_prefix(1);
    }
    QString shown = fromGbk(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

bool startsWithIgnoringAsciiCase(const QString& text, const QString& prefix) {
    if (prefix.size() > text.size()) return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        char16_t a = text[i].unicode();
        char16_t b = prefix[i].unicode();
        if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
        if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

QtView::QtView(QApplication& app) : app_(app) {
    initResources();
    // The program ends when its last window is destroyed, not when the last
    // one is hidden: it lives on in the tray.
    app_.setQuitOnLastWindowClosed(false);
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    // The tick runs from a posted call rather than from the timer itself, so
    // that a wait inside one tick's handler can deliver the next tick. At most
    // one tick waits at a time.
    connect(timer_, &QTimer::timeout, this, [this] {
        if (overdueTaken_) {
            overdueTaken_ = false;
            return;
        }
        if (tickPending_) return;
        tickPending_ = true;
        const unsigned generation = tickGeneration_;
        QMetaObject::invokeMethod(
            this, [this, generation] { deliverTick(generation); }, Qt::QueuedConnection);
    });
}

QtView::~QtView() {
    sink_ = nullptr;
    timer_->stop();
    for (WindowState& st : windows_) {
        if (st.tray) st.tray->hide();
        st.tray.reset();
        st.widget.reset();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool QtView::windowExists(Window w) const { return state(w).widget != nullptr; }

QWidget* QtView::widget(Control c) const { return widgets_[static_cast<std::size_t>(c)]; }

QWidget* QtView::window(Window w) const { return state(w).widget.get(); }

QAction* QtView::action(Control item) const { return actions_[static_cast<std::size_t>(item)]; }

QSystemTrayIcon* QtView::trayIcon(Window w) const { return state(w).tray.get(); }

int QtView::runEventLoop() {
    if (!windowExists(Window::Main) && !windowExists(Window::Chooser)) return 0;
    QEventLoop loop;
    mainLoop_ = &loop;
    loop.exec();
    mainLoop_ = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------
// Building the windows from the control table.

std::unique_ptr<TopWindow> QtView::buildWindow(Window w) {
    const WindowSpec& ws = windowSpec(w);
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (ws.minimizeButton) flags |= Qt::WindowMinimizeButtonHint;
    if (ws.alwaysOnTop) flags |= Qt::WindowStaysOnTopHint;
    if (!ws.taskbarButton) flags |= Qt::Tool;

    auto win = std::make_unique<TopWindow>(w, flags);
    win->setObjectName(w == Window::Main ? QStringLiteral("主窗口") : QStringLiteral("请选择"));
    win->setWindowTitle(QString::fromUtf8(ws.caption));
    win->setAccessibleName(win->windowTitle());
    win->setFixedSize(ws.clientWidth, ws.clientHeight);
    QPalette palette = win->palette();
    palette.setColor(QPalette::Window, rgb(WindowBackground));
    palette.setColor(QPalette::Base, Qt::white);
    // Disabled controls keep the style's grey text.
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
    }
    win->setPalette(palette);
    win->setAutoFillBackground(true);
    QFont font = win->font();
    font.setPixelSize(kWindowFontPixels);
    win->setFont(font);
    if (w == Window::Main) win->setWindowIcon(QIcon(QString::fromLatin1(kIconResource)));

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QPoint centre = screen->geometry().center();
        win->move(centre.x() - ws.outerWidth / 2, centre.y() - ws.outerHeight / 2);
    }

    // Rows come in creation order; parents come before their children.
    for (const ControlSpec& s : controlTable()) {
        if (s.window != w) continue;
        // Menu entries belong to the window itself: the menu has no widget.
        QWidget* parent = s.parent == NoParent ? win.get() : widget(s.parent);
        if (!parent) parent = win.get();
        createControl(s.id, parent);
    }

    if (w == Window::Main) {
        win->onClose = [this] {
            // A window disabled by a modal one takes no close request either.
            if (!window(Window::Main)->isEnabled()) return false;
            const bool mayClose = !sink_ || sink_->closeRequested();
            if (mayClose) destroyNow(Window::Main);
            return mayClose;
        };
    } else {
        // No close-request handler: the close button destroys it at once.
        win->onClose = [this, w] {
            destroyNow(w);
            return true;
        };
    }
    return win;
}

QWidget* QtView::createControl(Control c, QWidget* parent) {
    const ControlSpec& s = spec(c);
    const QString text = QString::fromUtf8(s.text);
    const QString name = QString::fromUtf8(s.name);
    QWidget* w = nullptr;
    bool namedByText = false;  // captioned controls are read by their caption

    switch (s.kind) {
        case Kind::Timer:
            period_ = 0;
            return nullptr;
        case Kind::Menu:
            return nullptr;
        case Kind::MenuItem: {
            auto* a = new QAction(text, parent);
            a->setObjectName(name);
            a->setEnabled(s.enabled);
            a->setVisible(s.visible);
            actions_[static_cast<std::size_t>(c)] = a;
            wire(c, nullptr);
            return nullptr;
        }
        case Kind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(alignmentOf(s, Qt::AlignLeft | Qt::AlignVCenter));
            label->setWordWrap(false);
            w = label;
            namedByText = true;
            break;
        }
        case Kind::Edit: {
            auto* edit = new RuleEdit(s.rule, s.maxLength, parent);
            edit->setAlignment(alignmentOf(s, Qt::AlignLeft | Qt::AlignVCenter));
            if (s.rule == InputRule::Password) {
                auto* style = new StarMaskStyle(QStyleFactory::create(app_.style()->name()));
                style->setParent(edit);
                edit->setStyle(style);
            }
            edit->setText(text);
            w = edit;
            break;
        }
        case Kind::LogBox: {
            auto* box = new QPlainTextEdit(parent);
            box->setReadOnly(true);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            box->setUndoRedoEnabled(false);
            QPalette p = box->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                p.setColor(group, QPalette::Base, rgb(LogBackground));
                p.setColor(group, QPalette::Text, rgb(LogText));
            }
            box->setPalette(p);
            box->viewport()->setCursor(Qt::ArrowCursor);
            logBytes_[static_cast<std::size_t>(c)] = s.text;
            box->setPlainText(displayText(s.text));
            w = box;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(s.defaultButton);
            w = button;
            namedByText = true;
            break;
        }
        case Kind::CheckBox: {
            auto* box = new QCheckBox(text, parent);
            box->setChecked(s.checked);
            w = box;
            namedByText = true;
            break;
        }
        case Kind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(s.editableField);
            if (s.editableField) {
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setCompleter(nullptr);
            }
            for (const char* item : s.items) combo->addItem(QString::fromUtf8(item));
            combo->setCurrentIndex(-1);
            if (s.editableField) combo->setEditText(text);
            w = combo;
            break;
        }
        case Kind::GroupBox: {
            w = new QGroupBox(text, parent);
            namedByText = true;
            break;
        }
        case Kind::ClickArea: {
            auto* area = new ClickArea(parent);
            area->setText(text);
            area->setAlignment(alignmentOf(s, Qt::AlignLeft | Qt::AlignVCenter));
            area->setTextColor(rgb(LoadingText));
            w = area;
            break;
        }
        case Kind::ListView: {
            auto* list = new QTableWidget(0, 2, parent);
            list->setHorizontalHeaderLabels(
                {QStringLiteral("Log_Name"), QStringLiteral("Log_Size")});
            QHeaderView* header = list->horizontalHeader();
            header->setSectionsClickable(false);
            header->setHighlightSections(false);
            header->setSortIndicatorShown(false);
            header->setStretchLastSection(false);
            header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            list->setColumnWidth(0, 170);
            list->setColumnWidth(1, 145);
            list->verticalHeader()->setVisible(false);
            list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
            list->setShowGrid(true);
            list->setSortingEnabled(false);
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            list->setSelectionBehavior(QAbstractItemView::SelectRows);
            list->setSelectionMode(QAbstractItemView::ExtendedSelection);
            list->setWordWrap(false);
            list->setTabKeyNavigation(false);
            // A selection shows only while the list has the focus.
            QPalette p = list->palette();
            p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Base));
            p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Text));
            list->setPalette(p);
            w = list;
            break;
        }
        case Kind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            bar->setOrientation(Qt::Horizontal);
            w = bar;
            break;
        }
    }

    w->setObjectName(name);
    w->setAccessibleDescription(name);
    if (!namedByText) w->setAccessibleName(name);
    if (s.fontPixels > 0) {
        QFont font = w->font();
        font.setPixelSize(s.fontPixels);
        font.setWeight(QFont::Normal);
        font.setItalic(false);
        w->setFont(font);
    }
    int height = s.h;
    // A combo box's height in the table includes its drop-down list.
    if (s.kind == Kind::ComboBox) height = std::min(s.h, w->sizeHint().height());
    w->setGeometry(s.x, s.y, s.w, height);
    w->setEnabled(s.enabled);
    w->setVisible(s.visible);
    widgets_[static_cast<std::size_t>(c)] = w;
    wire(c, w);
    return w;
}

// Connects the user-action signals of a control to the sink. Programmatic
// changes never pass through these signals.
void QtView::wire(Control c, QWidget* w) {
    const ControlSpec& s = spec(c);
    if (s.kind == Kind::ComboBox && s.editableField) {
        // Typing into the field drops the list selection, as a drop-down does.
        auto* combo = static_cast<QComboBox*>(w);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, [combo](const QString& typed) {
            if (combo->currentIndex() < 0 || combo->view()->isVisible()) return;
            const int cursor = combo->lineEdit()->cursorPosition();
            const QSignalBlocker blocker(combo);
            combo->setCurrentIndex(-1);
            combo->lineEdit()->setText(typed);
            combo->lineEdit()->setCursorPosition(cursor);
        });
    }
    if (!s.wired) return;
    switch (s.kind) {
        case Kind::Button:
        case Kind::CheckBox:
            // clicked() comes after a check box has toggled its mark.
            connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this, [this, c] {
                if (sink_) sink_->clicked(c);
            });
            break;
        case Kind::ComboBox:
            connect(static_cast<QComboBox*>(w), &QComboBox::activated, this, [this, c] {
                if (sink_) sink_->itemSelected(c);
            });
            break;
        case Kind::ClickArea:
            static_cast<ClickArea*>(w)->onLeftPress = [this, c] {
                if (sink_) sink_->mousePressed(c);
            };
            break;
        case Kind::MenuItem:
            // The choice is delivered after the menu has closed and the
            // handler that opened it has returned.
            connect(action(c), &QAction::triggered, this, [this, c] {
                QMetaObject::invokeMethod(
                    this,
                    [this, c] {
                        if (sink_ && action(c)) sink_->menuSelected(c);
                    },
                    Qt::QueuedConnection);
            });
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Per-control operations.

void QtView::setVisible(Control c, bool visible) {
    if (QAction* a = action(c)) a->setVisible(visible);
    if (QWidget* w = widget(c)) w->setVisible(visible);
}

void QtView::setVisible(Window w, bool visible) {
    if (QWidget* win = window(w)) win->setVisible(visible);
}

void QtView::setEnabled(Control c, bool enabled) {
    if (QAction* a = action(c)) a->setEnabled(enabled);
    if (QWidget* w = widget(c)) w->setEnabled(enabled);
}

std::string QtView::getText(Control c) {
    QWidget* w = widget(c);
    if (!w) {
        if (QAction* a = action(c)) return toGbk(a->text());
        return {};
    }
    switch (spec(c).kind) {
        case Kind::Edit:
            return toGbk(static_cast<QLineEdit*>(w)->text());
        case Kind::LogBox:
            return logBytes_[static_cast<std::size_t>(c)];
        case Kind::Button:
        case Kind::CheckBox:
            return toGbk(static_cast<QAbstractButton*>(w)->text());
        case Kind::Label:
            return toGbk(static_cast<QLabel*>(w)->text());
        case Kind::ClickArea:
            return toGbk(static_cast<ClickArea*>(w)->text());
        case Kind::GroupBox:
            return toGbk(static_cast<QGroupBox*>(w)->title());
        case Kind::ComboBox:
            return toGbk(static_cast<QComboBox*>(w)->currentText());
        default:
            return {};
    }
}

void QtView::setText(Control c, const std::string& text) {
    QWidget* w = widget(c);
    if (!w) {
        if (QAction* a = action(c)) a->setText(fromGbk(text));
        return;
    }
    const QString t = fromGbk(text);
    switch (spec(c).kind) {
        case Kind::Edit:
            static_cast<QLineEdit*>(w)->setText(t);
            break;
        case Kind::LogBox:
            logBytes_[static_cast<std::size_t>(c)] = text;
            static_cast<QPlainTextEdit*>(w)->setPlainText(displayText(text));
            break;
        case Kind::Button:
        case Kind::CheckBox:
            static_cast<QAbstractButton*>(w)->setText(t);
            break;
        case Kind::Label:
            static_cast<QLabel*>(w)->setText(t);
            break;
        case Kind::ClickArea:
            static_cast<ClickArea*>(w)->setText(t);
            break;
        case Kind::GroupBox:
            static_cast<QGroupBox*>(w)->setTitle(t);
            break;
        case Kind::ComboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            if (combo->isEditable()) combo->setEditText(t);
            break;
        }
        default:
            break;
    }
}

void QtView::appendText(Control c, const std::string& text) {
    QWidget* w = widget(c);
    if (!w) return;
    if (spec(c).kind == Kind::LogBox) {
        std::string& bytes = logBytes_[static_cast<std::size_t>(c)];
        auto* box = static_cast<QPlainTextEdit*>(w);
        const QString shown = displayText(text, bytes);
        bytes += text;
        box->moveCursor(QTextCursor::End);
        box->insertPlainText(shown);
        box->ensureCursorVisible();
    } else if (spec(c).kind == Kind::Edit) {
        auto* edit = static_cast<QLineEdit*>(w);
        edit->setText(edit->text() + fromGbk(text));
        edit->end(false);
    }
}

bool QtView::isChecked(Control c) {
    auto* box = qobject_cast<QCheckBox*>(widget(c));
    return box && box->isChecked();
}

void QtView::setChecked(Control c, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(widget(c))) box->setChecked(checked);
}

int QtView::currentIndex(Control c) {
    auto* combo = qobject_cast<QComboBox*>(widget(c));
    return combo ? combo->currentIndex() : -1;
}

std::string QtView::itemText(Control c, int index) {
    auto* combo = qobject_cast<QComboBox*>(widget(c));
    if (!combo || index < 0 || index >= combo->count()) return {};
    return toGbk(combo->itemText(index));
}

void QtView::clearItems(Control c) {
    if (auto* combo = qobject_cast<QComboBox*>(widget(c))) combo->clear();
}

int QtView::addItem(Control c, const std::string& text) {
    auto* combo = qobject_cast<QComboBox*>(widget(c));
    if (!combo) return -1;
    const bool hadSelection = combo->currentIndex() >= 0;
    const QString field = combo->isEditable() ? combo->currentText() : QString();
    combo->addItem(fromGbk(text));
    // Qt selects the first item added to an empty box; adding selects nothing here.
    if (!hadSelection && combo->currentIndex() >= 0) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) combo->setEditText(field);
    }
    return combo->count() - 1;
}

// The empty prefix begins every text, so it selects the first item.
int QtView::selectByText(Control c, const std::string& prefix) {
    auto* combo = qobject_cast<QComboBox*>(widget(c));
    // The empty text names no item: selecting the first one would show a
    // database that nobody chose.
    if (!combo || prefix.empty()) return -1;
    const QString p = fromGbk(prefix);
    for (int i = 0; i < combo->count(); ++i) {
        if (startsWithIgnoringAsciiCase(combo->itemText(i), p)) {
            combo->setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

void QtView::clearRows(Control c) {
    if (auto* list = qobject_cast<QTableWidget*>(widget(c))) list->setRowCount(0);
}

int QtView::insertRow(Control c) {
    auto* list = qobject_cast<QTableWidget*>(widget(c));
    if (!list) return -1;
    const int row = list->rowCount();
    list->insertRow(row);
    for (int column = 0; column < list->columnCount(); ++column) {
        auto* item = new QTableWidgetItem();
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        list->setItem(row, column, item);
    }
    return row;
}

void QtView::setCellText(Control c, int row, int column, const std::string& text) {
    auto* list = qobject_cast<QTableWidget*>(widget(c));
    if (!list || row < 0 || row >= list->rowCount() || column < 0 || column >= list->columnCount())
        return;
    if (QTableWidgetItem* item = list->item(row, column)) item->setText(fromGbk(text));
}

int QtView::getPosition(Control c) {
    auto* bar = qobject_cast<QProgressBar*>(widget(c));
    return bar ? bar->value() : 0;
}

void QtView::setPosition(Control c, int position) {
    if (auto* bar = qobject_cast<QProgressBar*>(widget(c)))
        bar->setValue(std::clamp(position, 0, 100));
}

void QtView::setPeriod(Control timer, int milliseconds) {
    if (timer != 时钟1 || !windowExists(spec(timer).window)) return;
    milliseconds = std::max(0, milliseconds);
    if (milliseconds == period_) return;  // a running timer keeps its rhythm
    period_ = milliseconds;
    ++tickGeneration_;  // a tick of the old period no longer falls due
    tickPending_ = false;
    overdueTaken_ = false;
    timer_->stop();
    if (period_ > 0) timer_->start(period_);
}

void QtView::deliverTick(unsigned generation) {
    if (generation != tickGeneration_) return;
    tickPending_ = false;
    // A tick that fell due again while this one waited is this one.
    if (timer_->isActive() && timer_->remainingTime() == 0) overdueTaken_ = true;
    if (period_ > 0 && sink_) sink_->tick(时钟1);
}

// ---------------------------------------------------------------------------
// Windows and desktop.

void QtView::setNormalState(Window w) {
    QWidget* win = window(w);
    if (!win || !win->isVisible()) return;
    win->setWindowState(win->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    win->raise();
    win->activateWindow();
}

IconData QtView::windowIcon(Window w) {
    if (w != Window::Main) return {};  // the chooser has no icon of its own
    QFile file(QString::fromLatin1(kIconResource));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return IconData(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtView::setTrayIcon(Window w, const IconData& icon, const std::string& tip) {
    WindowState& st = state(w);
    if (!st.widget) return;
    if (icon.empty()) {
        if (st.tray) st.tray->hide();
        st.tray.reset();
        return;
    }
    QPixmap picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(icon.data()),
                              static_cast<uint>(icon.size())))
        return;
    if (!st.tray) {
        st.tray = std::make_unique<QSystemTrayIcon>();
        connect(st.tray.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { onTrayActivated(reason); });
    }
    st.tray->setIcon(QIcon(picture));
    st.tray->setToolTip(fromGbk(cutGbk(tip, kTrayTipBytes)));
    st.tray->show();
}

void QtView::onTrayActivated(int reason) {
    if (!sink_) return;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            sink_->trayEvent(1);
            break;
        case QSystemTrayIcon::Context:
            sink_->trayEvent(3);
            break;
        case QSystemTrayIcon::DoubleClick:
            sink_->trayEvent(2);
#ifndef Q_OS_WIN
            // Windows reports the release that ends a double-click as one more
            // click; the other tray back ends do not.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (sink_ && trayIcon(Window::Main)) sink_->trayEvent(1);
                },
                Qt::QueuedConnection);
#endif
            break;
        default:
            break;
    }
}

void QtView::popupTrayMenu(Window w, Control menu) {
    QWidget* win = window(w);
    if (!win) return;
    QMenu popup;
    popup.setObjectName(QString::fromUtf8(spec(menu).name));
    for (const ControlSpec& s : controlTable()) {
        if (s.parent == menu && s.kind == Kind::MenuItem && action(s.id) &&
            action(s.id)->isVisible())
            popup.addAction(action(s.id));
    }
    if (popup.isEmpty()) return;
    // Bring the window forward so that a click elsewhere closes the menu.
    if (win->isVisible()) win->activateWindow();
    const QPoint pointer = QCursor::pos();
    QRect place(QPoint(0, 0), popup.sizeHint());
    place.moveTopRight(QPoint(pointer.x() - 5, pointer.y() - 5));
    popup.exec(place.topLeft());
}

MessageResult QtView::showMessage(const std::string& text, int buttons,
                                  const std::optional<std::string>& title) {
    MessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title ? fromGbk(*title) : QStringLiteral("信息："));
    box.setText(fromGbk(text));
    if (buttons == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
        box.setDefaultButton(QMessageBox::Yes);
        box.mustChoose = true;
        box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box.setDefaultButton(QMessageBox::Ok);
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return MR_YES;
        case QMessageBox::No:
            return MR_NO;
        default:
            return MR_OK;
    }
}

void QtView::loadWindow(Window w, bool modal) {
    WindowState& st = state(w);
    if (st.widget) return;  // each window exists at most once
    st.widget = buildWindow(w);
    if (w == Window::Main && sink_) sink_->created();
    if (!st.widget) return;  // destroyed inside its created event
    if (windowSpec(w).visibleWhenLoaded) st.widget->show();
    if (!modal) return;

    // Modal: every other window takes no input until this one is destroyed.
    std::vector<QPointer<QWidget>> disabled;
    for (WindowState& other : windows_) {
        if (&other != &st && other.widget && other.widget->isEnabled()) {
            other.widget->setEnabled(false);
            disabled.emplace_back(other.widget.get());
        }
    }
    QEventLoop loop;
    st.modalLoop = &loop;
    loop.exec();
    st.modalLoop = nullptr;
    for (const QPointer<QWidget>& other : disabled) {
        if (other) other->setEnabled(true);
    }
}

void QtView::destroyWindow(Window w) {
    WindowState& st = state(w);
    if (!st.widget || st.destroyPending) return;
    st.destroyPending = true;
    QMetaObject::invokeMethod(
        this, [this, w] { destroyNow(w); }, Qt::QueuedConnection);
}

void QtView::destroyNow(Window w) {
    WindowState& st = state(w);
    st.destroyPending = false;
    if (!st.widget) return;
    if (st.tray) {
        st.tray->hide();
        st.tray->disconnect(this);
        st.tray.release()->deleteLater();
    }
    if (w == Window::Main) {
        timer_->stop();
        period_ = 0;
        ++tickGeneration_;
        tickPending_ = false;
        overdueTaken_ = false;
    }
    for (const ControlSpec& s : controlTable()) {
        if (s.window != w) continue;
        const auto i = static_cast<std::size_t>(s.id);
        if (auto* area = dynamic_cast<ClickArea*>(widgets_[i].data())) area->onLeftPress = nullptr;
        widgets_[i] = nullptr;
        actions_[i] = nullptr;
        logBytes_[i].clear();
    }
    // The widget may be inside one of its own event handlers right now (a
    // click whose handler waits): hide and silence it, delete it later.
    TopWindow* win = st.widget.release();
    win->onClose = nullptr;
    for (QObject* child : win->findChildren<QObject*>()) child->disconnect(this);
    win->hide();
    win->deleteLater();

    if (st.modalLoop) st.modalLoop->exit(0);
    if (!windowExists(Window::Main) && !windowExists(Window::Chooser) && mainLoop_) {
        mainLoop_->exit(0);
    }
}

void QtView::waitProcessingEvents(int milliseconds) {
    if (milliseconds <= 0) return;
    const qint64 limit = static_cast<qint64>(milliseconds) * 1000000;
    QElapsedTimer clock;
    clock.start();
    // Wakes the wait when nothing else happens before the time is up.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (clock.nsecsElapsed() <= limit) {
        const qint64 left = (limit - clock.nsecsElapsed()) / 1000000 + 1;
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
