#pragma once

#include "IniFile.h"

#include <QString>

// Every key of the program's settings file, declared once: its section, its
// name, its value type and the default its reader uses when the key is absent
// or unreadable. Readers and writers go through these declarations, so a key
// is spelled in this file only.
//
// A key that two readers read with different defaults has one declaration per
// reading, named for the reader.
namespace settings {

struct StringKey {
    const char *section;
    const char *name;
    const char *defaultValue;
};

struct IntegerKey {
    const char *section;
    const char *name;
    int defaultValue;
};

struct BoolKey {
    const char *section;
    const char *name;
    bool defaultValue;
};

// A flag is stored as one fixed word or as an empty value; absent reads as
// empty. Readers either compare the text with the word or ask whether it is
// empty.
struct FlagKey {
    const char *section;
    const char *name;
    const char *word;
};

// --- The main section ----------------------------------------------------------

// What a left click on the tray icon does (the text of an action name).
inline constexpr StringKey LeftClickAction{"Settings", "lc", "Options"};
// The action wait time, milliseconds.
inline constexpr IntegerKey WaitTime{"Settings", "wait", 1000};
// The same key as the options dialog saves it: the wait field's text as typed.
inline constexpr StringKey WaitTimeText{"Settings", "wait", ""};
// "none" when the program does not start with the desktop session.
inline constexpr FlagKey NoAutostart{"Settings", "start", "none"};
// "no" when the editor starts with word wrap off; the editor takes any text.
inline constexpr FlagKey NoWordWrap{"Settings", "ww", "no"};
// Remove leading blanks from each captured line.
inline constexpr BoolKey RemoveLeadingBlanks{"Settings", "nospaces", false};
// Ask for a selection title before each capture; any text counts as on.
inline constexpr FlagKey PromptTitle{"Settings", "pt", "yes"};
// The header printed at the top of every page.
inline constexpr StringKey Header{"Settings", "head", ""};
// Show the print dialog before printing: the tray reads it as on when
// absent, the options dialog as off.
inline constexpr BoolKey PrintDialogForTray{"Settings", "pdialog", true};
inline constexpr BoolKey PrintDialogForOptions{"Settings", "pdialog", false};
// Print page numbers.
inline constexpr BoolKey PageNumbers{"Settings", "pnumbers", false};
// The editor's word wrap at program end ("aye" when on); nothing reads it.
inline constexpr FlagKey WordWrapAtExit{"Settings", "wrap", "aye"};

// --- Capture mode --------------------------------------------------------------

// "yes" in screen mode; any text counts as screen mode.
inline constexpr FlagKey ScreenCapture{"storage", "screencap", "yes"};

// --- Terminal windows -----------------------------------------------------------

// Window classes (WM_CLASS) the capture treats as terminals, beyond those it
// knows: separated by commas, semicolons or blanks; a class followed by
// ":primary" has no copy key and gives its highlighted text instead.
inline constexpr StringKey TerminalClasses{"Terminals", "classes", ""};

// --- The editor's window rectangle (outer frame, screen pixels) -----------------

// A left edge of this value means no rectangle is stored.
inline constexpr int NoStoredRect = -1000;
inline constexpr IntegerKey EditorLeft{"Tamsel", "el", NoStoredRect};
inline constexpr IntegerKey EditorTop{"Tamsel", "et", NoStoredRect};
inline constexpr IntegerKey EditorWidth{"Tamsel", "ew", NoStoredRect};
inline constexpr IntegerKey EditorHeight{"Tamsel", "eh", NoStoredRect};

// --- The editor's default font --------------------------------------------------

inline constexpr StringKey FontName{"Marlo*Venn", "Tname", "Times New Roman"};
inline constexpr IntegerKey FontSize{"Marlo*Venn", "Tsize", 12};
// 0x00BBGGRR in decimal, or the automatic colour's marker.
inline constexpr IntegerKey FontColor{"Marlo*Venn", "Tcolor", 0};
// The style word: the plain-font command reads "regular" when absent, the
// other uses read an empty word (style left as it is).
inline constexpr StringKey FontStyle{"Marlo*Venn", "Tstyle", ""};
inline constexpr StringKey FontStyleForPlainFont{"Marlo*Venn", "Tstyle", "regular"};

// --- Reading and writing through the declarations ---------------------------------

QString read(const IniFile &ini, const StringKey &key);
int read(const IniFile &ini, const IntegerKey &key);
bool read(const IniFile &ini, const BoolKey &key);
// The stored text, empty when absent.
QString read(const IniFile &ini, const FlagKey &key);
// True when the stored text is exactly the flag's word.
bool holdsWord(const IniFile &ini, const FlagKey &key);

// Writes throw like IniFile's own writes.
void write(const IniFile &ini, const StringKey &key, const QString &value);
void write(const IniFile &ini, const IntegerKey &key, int value);
void write(const IniFile &ini, const BoolKey &key, bool value);
// Writes the flag's word when `word` is true, else an empty value.
void write(const IniFile &ini, const FlagKey &key, bool word);

} // namespace settings
