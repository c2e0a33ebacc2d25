#include "FakeView.h"

#include <algorithm>
#include <cctype>

namespace {

bool isCheckBox(Control c) {
    return c == 选择框1 || c == 选择框_开机自启 || c == 选择框_每月 || c == 选择框_每周 ||
           c == 选择框_每天;
}

bool onChooser(Control c) { return c == 按钮_主机名 || c == 按钮_IP; }

bool startsWithIgnoringAsciiCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        auto a = static_cast<unsigned char>(text[i]);
        auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

}  // namespace

FakeView::FakeView(VirtualClock& clock) : clock_(clock) {
    for (int i = 0; i < ControlCount; ++i) controls_[static_cast<Control>(i)] = ControlState{};
    // Start states of the main window's controls.
    for (Control c : {选择框1, 组合框_库名, 按钮_一键清理, 透明标签_log状态}) controls_[c].enabled = false;
    for (Control c : {组合框_星期, 编辑框_日, 标签_日, 编辑框_时, 标签_时, 编辑框_分, 标签_分,
                      编辑框_秒, 标签_秒, 按钮_确定, 透明标签_loading})
        controls_[c].visible = false;
    controls_[组合框_星期].items = {"星期一", "星期二", "星期三", "星期四",
                                    "星期五", "星期六", "星期日"};
    controls_[按钮_获取本机ip].text = "本机";
    controls_[按钮_连接].text = "连接";
    controls_[按钮_一键清理].text = "一键清理";
    controls_[按钮_确定].text = "确定";
    controls_[透明标签_loading].text = "Loading";
    controls_[按钮_主机名].text = "主机名";
    controls_[按钮_IP].text = "本机IP";
    windows_[Window::Main] = WindowState{};
    windows_[Window::Chooser] = WindowState{};
}

std::vector<std::string> FakeView::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages_) texts.push_back(m.text);
    return texts;
}

void FakeView::answerMessages(std::vector<MessageResult> answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}
void FakeView::duringNextMessage(std::function<void()> action) { duringMessage_ = std::move(action); }
void FakeView::duringNextModal(std::function<void()> action) { duringModal_ = std::move(action); }
void FakeView::at(std::int64_t ms, std::function<void()> action) {
    scheduled_.push_back({ms, std::move(action)});
}
void FakeView::chooseInNextTrayMenu(Control item) { trayChoice_ = item; }

bool FakeView::canRaise(Control c) const {
    const ControlState& s = controls_.at(c);
    if (!s.visible || !s.enabled) return false;
    const WindowState& w = windows_.at(onChooser(c) ? Window::Chooser : Window::Main);
    return w.exists && w.enabled && !w.destroyPending;
}

template <typename F>
void FakeView::asUser(F&& raise) {
    ++depth_;
    raise();
    --depth_;
    if (depth_ == 0) applyPendingDestroys();
}

void FakeView::click(Control c) {
    if (!sink_ || !canRaise(c)) return;
    if (isCheckBox(c)) controls_[c].checked = !controls_[c].checked;
    asUser([&] { sink_->clicked(c); });
}

void FakeView::choose(Control combo, int index) {
    if (!sink_ || !canRaise(combo)) return;
    ControlState& s = controls_[combo];
    if (index < 0 || index >= static_cast<int>(s.items.size())) return;
    s.selected = index;
    s.text = s.items[index];
    asUser([&] { sink_->itemSelected(combo); });
}

void FakeView::type(Control edit, const std::string& text) {
    if (!canRaise(edit)) return;
    controls_[edit].text = text;
}

void FakeView::press(Control label) {
    if (!sink_ || !canRaise(label)) return;
    asUser([&] { sink_->mousePressed(label); });
}

void FakeView::tray(int action) {
    if (!sink_ || !windows_[Window::Main].exists || !trayIcon_) return;
    asUser([&] { sink_->trayEvent(action); });
}

void FakeView::requestClose() {
    if (!sink_ || !windows_[Window::Main].exists) return;
    asUser([&] {
        lastCloseAnswer_ = sink_->closeRequested();
        if (lastCloseAnswer_) windows_[Window::Main].destroyPending = true;
    });
}

void FakeView::runFor(std::int64_t ms) {
    ++depth_;
    deliverUntil(clock_.ms() + ms);
    --depth_;
    applyPendingDestroys();
    clock_.advanceTo(clock_.ms() + 0);
}

void FakeView::deliverUntil(std::int64_t endMs) {
    applyPendingDestroys();
    while (!finished_) {
        std::int64_t next = endMs + 1;
        bool tick = false;
        if (controls_[时钟1].period > 0 && nextTick_ >= 0 && nextTick_ <= endMs) {
            next = nextTick_;
            tick = true;
        }
        auto sched = std::min_element(scheduled_.begin(), scheduled_.end(),
                                      [](const Scheduled& a, const Scheduled& b) { return a.at < b.at; });
        if (sched != scheduled_.end() && sched->at <= endMs && sched->at < next) {
            next = sched->at;
            tick = false;
        }
        if (next > endMs) break;
        clock_.advanceTo(next);
        if (tick) {
            nextTick_ = next + controls_[时钟1].period;
            if (sink_) sink_->tick(时钟1);
        } else {
            auto action = std::move(sched->action);
            scheduled_.erase(sched);
            action();
        }
        applyPendingDestroys();
    }
    clock_.advanceTo(endMs);
}

void FakeView::applyPendingDestroys() {
    for (auto& [w, s] : windows_) {
        if (!s.destroyPending) continue;
        s.destroyPending = false;
        s.exists = false;
        s.visible = false;
        if (w == Window::Main) {
            trayIcon_.reset();
            finished_ = !windows_[Window::Chooser].exists;
        }
    }
}

void FakeView::setVisible(Control c, bool visible) { controls_[c].visible = visible; }
void FakeView::setVisible(Window w, bool visible) {
    if (windows_[w].exists) windows_[w].visible = visible;
}
void FakeView::setEnabled(Control c, bool enabled) { controls_[c].enabled = enabled; }
std::string FakeView::getText(Control c) { return controls_[c].text; }
void FakeView::setText(Control c, const std::string& text) { controls_[c].text = text; }
void FakeView::appendText(Control c, const std::string& text) { controls_[c].text += text; }
bool FakeView::isChecked(Control c) { return controls_[c].checked; }
void FakeView::setChecked(Control c, bool checked) { controls_[c].checked = checked; }

int FakeView::currentIndex(Control c) { return controls_[c].selected; }
std::string FakeView::itemText(Control c, int index) {
    const auto& items = controls_[c].items;
    if (index < 0 || index >= static_cast<int>(items.size())) return {};
    return items[index];
}
void FakeView::clearItems(Control c) {
    controls_[c].items.clear();
    controls_[c].selected = -1;
    if (c == 组合框_库名) controls_[c].text.clear();
}
int FakeView::addItem(Control c, const std::string& text) {
    controls_[c].items.push_back(text);
    return static_cast<int>(controls_[c].items.size()) - 1;
}
int FakeView::selectByText(Control c, const std::string& prefix) {
    ControlState& s = controls_[c];
    if (prefix.empty()) return -1;
    for (size_t i = 0; i < s.items.size(); ++i) {
        if (startsWithIgnoringAsciiCase(s.items[i], prefix)) {
            s.selected = static_cast<int>(i);
            s.text = s.items[i];
            return s.selected;
        }
    }
    return -1;
}

void FakeView::clearRows(Control c) { controls_[c].rows.clear(); }
int FakeView::insertRow(Control c) {
    controls_[c].rows.push_back({});
    return static_cast<int>(controls_[c].rows.size()) - 1;
}
void FakeView::setCellText(Control c, int row, int column, const std::string& text) {
    auto& rows = controls_[c].rows;
    if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column > 1) return;
    rows[row][column] = text;
}

int FakeView::getPosition(Control c) { return controls_[c].position; }
void FakeView::setPosition(Control c, int position) {
    controls_[c].position = std::clamp(position, 0, 100);
    positions_.push_back(controls_[c].position);
}

void FakeView::setPeriod(Control timer, int milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    ControlState& s = controls_[timer];
    if (milliseconds == s.period) return;
    s.period = milliseconds;
    nextTick_ = milliseconds > 0 ? clock_.ms() + milliseconds : -1;
}

void FakeView::setNormalState(Window w) { windows_[w].normalStateCalls++; }
IconData FakeView::windowIcon(Window w) { return w == Window::Main ? IconData("ICON") : IconData(); }
void FakeView::setTrayIcon(Window, const IconData& icon, const std::string& tip) {
    if (icon.empty()) {
        trayIcon_.reset();
        return;
    }
    trayIcon_ = std::make_pair(icon, tip.substr(0, 62));
}
void FakeView::popupTrayMenu(Window, Control) {
    ++trayMenuPopups_;
    if (trayChoice_ && sink_) {
        Control item = *trayChoice_;
        trayChoice_.reset();
        sink_->menuSelected(item);
    }
}

MessageResult FakeView::showMessage(const std::string& text, int buttons,
                                    const std::optional<std::string>& title) {
    messages_.push_back({text, buttons, title.value_or("信息：")});
    if (duringMessage_) {
        auto action = std::move(duringMessage_);
        duringMessage_ = nullptr;
        action();
    }
    if (!answers_.empty()) {
        MessageResult r = answers_.front();
        answers_.erase(answers_.begin());
        return r;
    }
    return buttons == MB_YESNO ? MR_NO : MR_OK;
}

void FakeView::loadWindow(Window w, bool modal) {
    WindowState& s = windows_[w];
    s = WindowState{};
    s.exists = true;
    if (w == Window::Main) {
        if (sink_) {
            ++depth_;
            sink_->created();
            --depth_;
        }
        if (depth_ == 0) applyPendingDestroys();
        return;
    }
    // The chooser: shown at once; modal disables the main window until it is gone.
    controls_[按钮_主机名] = ControlState{};
    controls_[按钮_主机名].text = "主机名";
    controls_[按钮_IP] = ControlState{};
    controls_[按钮_IP].text = "本机IP";
    s.visible = true;
    if (!modal) return;
    windows_[Window::Main].enabled = false;
    if (duringModal_) {
        auto action = std::move(duringModal_);
        duringModal_ = nullptr;
        action();
    }
    applyPendingDestroys();
    if (windows_[Window::Chooser].exists) {  // closed with its close button
        windows_[Window::Chooser].exists = false;
        windows_[Window::Chooser].visible = false;
    }
    windows_[Window::Main].enabled = true;
}

void FakeView::destroyWindow(Window w) {
    if (windows_[w].exists) windows_[w].destroyPending = true;
}

void FakeView::waitProcessingEvents(int milliseconds) {
    waits_.push_back(milliseconds);
    if (milliseconds <= 0) return;
    deliverUntil(clock_.ms() + milliseconds);
}
