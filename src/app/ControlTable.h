#pragma once

#include <array>
#include <span>

#include "app/Controls.h"

// Both windows and the tray menu as data: one row per control, in creation
// order. Later rows lie above earlier siblings, so the click areas come after
// what they cover. Texts are UTF-8.

enum class Kind {
    Label,   // static text
    Edit,    // one-line edit box
    LogBox,  // multi-line read-only edit box
    Button,
    CheckBox,
    ComboBox,
    GroupBox,
    ClickArea,  // transparent label: draws only its text, takes the mouse presses over it
    ListView,
    ProgressBar,
    Timer,  // nothing visible
    Menu,   // hidden top-level menu, used as the tray pop-up
    MenuItem,
};

// What a one-line edit box accepts from the keyboard.
enum class InputRule {
    Free,
    Password,  // free, shown masked
    Digits,    // "0".."9" and "-"
    Integer,   // as Digits, and rewritten as a plain integer when the focus leaves
};

enum class Align { Default, Left, Right, Center };

// The window itself as a parent.
inline constexpr Control NoParent = ControlCount;

struct ControlSpec {
    Control id = ControlCount;
    const char* name = "";  // the control's name, also its objectName and accessible description
    Kind kind = Kind::Label;
    Window window = Window::Main;
    Control parent = NoParent;  // NoParent, a group box or the menu
    int x = 0, y = 0, w = 0, h = 0;
    const char* text = "";
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int fontPixels = 0;  // 0: the window's font
    Align align = Align::Default;
    InputRule rule = InputRule::Free;
    int maxLength = 0;                   // typed characters; 0: no limit
    bool editableField = false;          // combo box with an editable field
    std::span<const char* const> items;  // combo box items, in order
    bool defaultButton = false;          // drawn as the window's default button
    bool wired = false;  // its event (click, choice, left press, tick, selection) has a handler
};

const std::array<ControlSpec, ControlCount>& controlTable();
const ControlSpec& spec(Control c);

struct WindowSpec {
    Window window;
    const char* caption;
    int outerWidth, outerHeight;    // frame and title bar included
    int clientWidth, clientHeight;  // what the controls are laid out in
    bool minimizeButton;
    bool alwaysOnTop;
    bool taskbarButton;
    bool visibleWhenLoaded;
};

const WindowSpec& windowSpec(Window w);

// Colours shared by the windows.
inline constexpr unsigned WindowBackground = 0xFFFFFF;
inline constexpr unsigned LogBackground = 0x000000;
inline constexpr unsigned LogText = 0xFFFFFF;
inline constexpr unsigned LoadingText = 0xC0C0C0;
