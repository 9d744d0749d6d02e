#include "X11SyntheticInput.h"

#include <QList>

#include <array>
#include <utility>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace platform {

namespace {

// The modifiers of a key press, in the order they go down: (bit in the
// modifier byte, virtual key).
constexpr std::array<std::pair<quint8, quint16>, 3> ModifierTable{{
    {2, 0x11}, // Ctrl
    {0, 0x10}, // Shift
    {1, 0x12}, // Alt
}};

// The X keysym of a Windows virtual key. Extended keys are the right-hand
// Ctrl and Alt and the keypad's Enter; for other keys the flag changes nothing.
KeySym keysymFor(quint16 key, bool extended)
{
    if (key >= 0x41 && key <= 0x5A) // letters: the unshifted keysym
        return XK_a + (key - 0x41);
    if (key >= 0x30 && key <= 0x39)
        return XK_0 + (key - 0x30);
    if (key >= 0x60 && key <= 0x69)
        return XK_KP_0 + (key - 0x60);
    if (key >= 0x70 && key <= 0x87)
        return XK_F1 + (key - 0x70);
    switch (key) {
    case 0x08:
        return XK_BackSpace;
    case 0x09:
        return XK_Tab;
    case 0x0C:
        return XK_Clear;
    case 0x0D:
        return extended ? XK_KP_Enter : XK_Return;
    case 0x10:
        return XK_Shift_L;
    case 0x11:
        return extended ? XK_Control_R : XK_Control_L;
    case 0x12:
        return extended ? XK_Alt_R : XK_Alt_L;
    case 0x13:
        return XK_Pause;
    case 0x14:
        return XK_Caps_Lock;
    case 0x1B:
        return XK_Escape;
    case 0x20:
        return XK_space;
    case 0x21:
        return XK_Prior;
    case 0x22:
        return XK_Next;
    case 0x23:
        return XK_End;
    case 0x24:
        return XK_Home;
    case 0x25:
        return XK_Left;
    case 0x26:
        return XK_Up;
    case 0x27:
        return XK_Right;
    case 0x28:
        return XK_Down;
    case 0x2C:
        return XK_Print;
    case 0x2D:
        return XK_Insert;
    case 0x2E:
        return XK_Delete;
    case 0x5B:
        return XK_Super_L;
    case 0x5C:
        return XK_Super_R;
    case 0x5D:
        return XK_Menu;
    case 0x6A:
        return XK_KP_Multiply;
    case 0x6B:
        return XK_KP_Add;
    case 0x6C:
        return XK_KP_Separator;
    case 0x6D:
        return XK_KP_Subtract;
    case 0x6E:
        return XK_KP_Decimal;
    case 0x6F:
        return XK_KP_Divide;
    case 0x90:
        return XK_Num_Lock;
    case 0x91:
        return XK_Scroll_Lock;
    case 0xA0:
        return XK_Shift_L;
    case 0xA1:
        return XK_Shift_R;
    case 0xA2:
        return XK_Control_L;
    case 0xA3:
        return XK_Control_R;
    case 0xA4:
        return XK_Alt_L;
    case 0xA5:
        return XK_Alt_R;
    case 0xBA:
        return XK_semicolon;
    case 0xBB:
        return XK_equal;
    case 0xBC:
        return XK_comma;
    case 0xBD:
        return XK_minus;
    case 0xBE:
        return XK_period;
    case 0xBF:
        return XK_slash;
    case 0xC0:
        return XK_grave;
    case 0xDB:
        return XK_bracketleft;
    case 0xDC:
        return XK_backslash;
    case 0xDD:
        return XK_bracketright;
    case 0xDE:
        return XK_apostrophe;
    default:
        return NoSymbol;
    }
}

// The server's current keyboard map, read afresh for each key press so that a
// layout switched since start-up is honoured.
class KeyboardMap {
public:
    explicit KeyboardMap(Display *dpy)
    {
        XDisplayKeycodes(dpy, &m_minCode, &m_maxCode);
        m_map = XGetKeyboardMapping(dpy, static_cast<KeyCode>(m_minCode), m_maxCode - m_minCode + 1,
                                    &m_perCode);
    }
    ~KeyboardMap()
    {
        if (m_map)
            XFree(m_map);
    }
    KeyboardMap(const KeyboardMap &) = delete;
    KeyboardMap &operator=(const KeyboardMap &) = delete;

    // The key code that types `keysym`. A key that has it on its first level
    // wins: that is the key the user presses without Shift or AltGr. Otherwise
    // any key that carries it (in either case, for letters).
    KeyCode codeOf(KeySym keysym) const
    {
        if (!m_map || keysym == NoSymbol)
            return 0;
        for (int level = 0; level < m_perCode; ++level) {
            for (int code = m_minCode; code <= m_maxCode; ++code) {
                const KeySym sym = m_map[(code - m_minCode) * m_perCode + level];
                KeySym lower = NoSymbol;
                KeySym upper = NoSymbol;
                XConvertCase(sym, &lower, &upper);
                if (sym != NoSymbol && (sym == keysym || lower == keysym))
                    return static_cast<KeyCode>(code);
            }
        }
        return 0;
    }

    // The "scan code" of a virtual key: the X key code that types it.
    KeyCode codeOf(quint16 key, bool extended) const
    {
        KeyCode code = codeOf(keysymFor(key, extended));
        if (!code && extended) // a map without the right-hand variant
            code = codeOf(keysymFor(key, false));
        return code;
    }

private:
    int m_minCode = 0;
    int m_maxCode = 0;
    int m_perCode = 0;
    KeySym *m_map = nullptr;
};

void sendKey(Display *dpy, KeyCode code, bool down)
{
    if (code)
        XTestFakeKeyEvent(dpy, code, down ? True : False, CurrentTime);
}

// The modifier keys (Shift, Ctrl and Mod1 to Mod5: Alt, AltGr, Super, ...)
// that are down on the keyboard now. Lock keys count only while held, as
// the key state holds pressed keys, not lock states; Caps Lock is left out.
QList<KeyCode> heldModifierKeys(Display *dpy)
{
    QList<KeyCode> held;
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    XModifierKeymap *map = XGetModifierMapping(dpy);
    if (!map)
        return held;
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex)
            continue;
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code && (keys[code / 8] & (1 << (code % 8))) && !held.contains(code))
                held.append(code);
        }
    }
    XFreeModifiermap(map);
    return held;
}

} // namespace

quint8 X11SyntheticInput::keyCodeFor(quint16 key, bool extended)
{
    Display *dpy = x11::display();
    return dpy ? KeyboardMap(dpy).codeOf(key, extended) : 0;
}

void X11SyntheticInput::PostKeyEx32(quint16 key, quint8 modifiers, bool extended)
{
    Display *dpy = x11::display();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!dpy || !XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor))
        return;

    const KeyboardMap map(dpy);
    // A modifier the user still holds would join the key press (Ctrl+C
    // arriving as Ctrl+Alt+C): it is released first and pressed again
    // afterwards. All events are queued and sent in one go: nothing comes
    // between them, as if typed without a pause.
    const QList<KeyCode> held = heldModifierKeys(dpy);
    for (const KeyCode code : held)
        sendKey(dpy, code, false);
    for (const auto &[bit, modifierKey] : ModifierTable) {
        if (modifiers & (1u << bit))
            sendKey(dpy, map.codeOf(modifierKey, false), true);
    }
    const KeyCode code = map.codeOf(key, extended);
    sendKey(dpy, code, true);
    sendKey(dpy, code, false);
    for (auto it = ModifierTable.rbegin(); it != ModifierTable.rend(); ++it) {
        if (modifiers & (1u << it->first))
            sendKey(dpy, map.codeOf(it->second, false), false);
    }
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        sendKey(dpy, *it, true);
    XFlush(dpy);
}

bool X11SyntheticInput::modifiersDown()
{
    Display *dpy = x11::display();
    return dpy && !heldModifierKeys(dpy).isEmpty();
}

} // namespace platform
