#include "edits.h"

#include "platform/AppError.h"
#include "platform/RichEdit.h"
#include "platform/SyntheticInput.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextCursor>

#include <optional>

// The editor's format commands: the toolbar showing and setting the format of
// the selection, and the default font of the settings file.

namespace {

constexpr int IndentStep = 20; // points

// Set while the toolbar shows the selection's format, so that the controls'
// change events do not write that format back.
bool s_refreshing = false;

class RefreshGuard {
public:
    RefreshGuard() { s_refreshing = true; }
    ~RefreshGuard() { s_refreshing = false; }
    RefreshGuard(const RefreshGuard &) = delete;
    RefreshGuard &operator=(const RefreshGuard &) = delete;
};

struct Style {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// The style words of the settings file, indexed by bold + 2 italic + 4 underline.
const char *const StyleWords[] = {
    "regular",   "bold",          "italic",          "bolditalic",
    "underline", "boldunderline", "italicunderline", "bolditalicunderline",
};

QString styleWord(const platform::CharAttributes &a)
{
    // A style with strike-out has no word of its own.
    if (a.strikeOut)
        return {};
    return QLatin1String(StyleWords[(a.bold ? 1 : 0) + (a.italic ? 2 : 0) + (a.underline ? 4 : 0)]);
}

std::optional<Style> styleOfWord(const QString &word)
{
    for (int i = 0; i < 8; ++i) {
        if (word == QLatin1String(StyleWords[i]))
            return Style{(i & 1) != 0, (i & 2) != 0, (i & 4) != 0};
    }
    return std::nullopt;
}

int colorValue(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace

// --- Format of the selection -----------------------------------------------

bool TEditor::refreshing()
{
    return s_refreshing;
}

void TEditor::memoSelectionChange()
{
    const RefreshGuard guard;
    const platform::CharAttributes a = memo->selAttributes();
    boldbutton->setChecked(a.bold);
    italicbutton->setChecked(a.italic);
    underlinebutton->setChecked(a.underline);
    BulletsButton->setChecked(memo->paraBullets());
    FontSize->setText(QString::number(a.size));
    const int index = FontName->findText(a.face, Qt::MatchFixedString);
    FontName->setCurrentIndex(index);
    if (index < 0)
        FontName->setEditText(a.face);
    // A long face name shows from its start, not scrolled to its end.
    FontName->lineEdit()->setCursorPosition(0);
    ColorBox->setColorValue(a.autoColor ? TColorBox::AutoColor : colorValue(a.color));
    switch (memo->paraAlignment()) {
    case platform::ParaAlignment::Left:
        leftalign->setChecked(true);
        break;
    case platform::ParaAlignment::Right:
        rightalign->setChecked(true);
        break;
    case platform::ParaAlignment::Center:
        centeralign->setChecked(true);
        break;
    case platform::ParaAlignment::Justify:
        break; // the buttons stay as they were
    }
}

void TEditor::styleButtonClick(QToolButton *button)
{
    if (s_refreshing)
        return;
    // The whole style set is written back, so a selection of mixed style
    // comes out uniform.
    platform::CharAttributes a = memo->selAttributes();
    const bool down = button->isChecked();
    if (button == boldbutton)
        a.bold = down;
    else if (button == italicbutton)
        a.italic = down;
    else
        a.underline = down;
    memo->setSelAttributes(a, platform::CharStyle);
    memoSelectionChange();
}

void TEditor::boldbuttonClick()
{
    styleButtonClick(boldbutton);
}

void TEditor::italicbuttonClick()
{
    styleButtonClick(italicbutton);
}

void TEditor::underlinebuttonClick()
{
    styleButtonClick(underlinebutton);
}

void TEditor::flipAndRun(QToolButton *button, void (TEditor::*command)())
{
    button->setChecked(!button->isChecked());
    (this->*command)();
}

void TEditor::boldkey1Click()
{
    flipAndRun(boldbutton, &TEditor::boldbuttonClick);
}

void TEditor::italickey1Click()
{
    flipAndRun(italicbutton, &TEditor::italicbuttonClick);
}

void TEditor::underlinekey1Click()
{
    flipAndRun(underlinebutton, &TEditor::underlinebuttonClick);
}

void TEditor::FontNameChange()
{
    if (s_refreshing)
        return;
    const int index = FontName->currentIndex();
    if (index >= 0) {
        platform::CharAttributes a;
        a.face = FontName->itemText(index);
        memo->setSelAttributes(a, platform::CharFace);
    }
    if (!m_enterHeld)
        pressKey(platform::VkTab);
}

void TEditor::FontSizeChange()
{
    if (s_refreshing)
        return;
    const QString text = FontSize->text();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int size = text.toInt(&ok);
    if (!ok) {
        // Reported once the field has finished its own change handling.
        QMetaObject::invokeMethod(
            this,
            [text] {
                throw platform::AppError(
                    QStringLiteral("'%1' is not a valid integer value").arg(text));
            },
            Qt::QueuedConnection);
        return;
    }
    // A size below one point would make the text invisible: it is not applied.
    if (size < 1)
        return;
    platform::CharAttributes a;
    a.size = size;
    memo->setSelAttributes(a, platform::CharSize);
}

void TEditor::ColorBoxClick()
{
    const QColor chosen = QColorDialog::getColor(ColorBox->color(), this);
    if (!chosen.isValid())
        return;
    ColorBox->setColorValue(colorValue(chosen));
    platform::CharAttributes a;
    a.color = chosen;
    memo->setSelAttributes(a, platform::CharColor);
    pressKey(platform::VkTab);
}

void TEditor::setAlignment(int code)
{
    switch (code) {
    case 1:
        memo->setParaAlignment(platform::ParaAlignment::Right);
        break;
    case 2:
        memo->setParaAlignment(platform::ParaAlignment::Center);
        break;
    default:
        memo->setParaAlignment(platform::ParaAlignment::Left);
        break;
    }
}

void TEditor::alignClick(QToolButton *button)
{
    if (s_refreshing)
        return;
    setAlignment(button == rightalign ? 1 : button == centeralign ? 2 : 0);
}

void TEditor::leftkey1Click()
{
    setAlignment(0);
    memoSelectionChange();
}

void TEditor::centerkey1Click()
{
    setAlignment(2);
    memoSelectionChange();
}

void TEditor::rightkey1Click()
{
    setAlignment(1);
    memoSelectionChange();
}

void TEditor::BulletsButtonClick()
{
    if (s_refreshing)
        return;
    memo->setParaBullets(BulletsButton->isChecked());
}

void TEditor::indentBy(double points)
{
    memo->setParaFirstIndentPt(memo->paraFirstIndentPt() + points);
}

void TEditor::indentkey1Click()
{
    indentBy(IndentStep);
}

void TEditor::outdentkey1Click()
{
    indentBy(-IndentStep);
}

// --- Default font ------------------------------------------------------------

void TEditor::applyDefaultFont(DefaultFontUse use)
{
    if (use == DefaultFontUse::AtInsertionPoint) {
        QTextCursor cursor = memo->textCursor();
        if (cursor.hasSelection()) {
            cursor.setPosition(cursor.selectionEnd());
            memo->setTextCursor(cursor);
        }
    }
    const IniFile ini = IniFile::programIni();
    const QString face = settings::read(ini, settings::FontName);
    const int size = settings::read(ini, settings::FontSize);
    const int color = settings::read(ini, settings::FontColor);
    const QString word =
        settings::read(ini, use == DefaultFontUse::PlainFont ? settings::FontStyleForPlainFont
                                                             : settings::FontStyle);

    platform::CharAttributes a;
    a.face = face;
    a.size = size; // below one point the size stays as it is
    // The colour button takes the stored colour, the text the button's.
    ColorBox->setColorValue(color);
    a.autoColor = ColorBox->colorValue() < 0;
    a.color = ColorBox->color();
    unsigned fields = platform::CharFace | platform::CharSize | platform::CharColor;
    if (const auto style = styleOfWord(word)) {
        a.bold = style->bold;
        a.italic = style->italic;
        a.underline = style->underline;
        a.strikeOut = false;
        fields |= platform::CharStyle;
    }
    memo->setSelAttributes(a, fields);
    if (use != DefaultFontUse::AtInsertionPoint)
        memoSelectionChange();
}

void TEditor::fontit()
{
    applyDefaultFont(DefaultFontUse::AtInsertionPoint);
}

void TEditor::PlainFont1Click()
{
    applyDefaultFont(DefaultFontUse::PlainFont);
}

void TEditor::SpeedButton10Click()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Make current font settings the default?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("ConfirmBox"));
    if (box.exec() != QMessageBox::Yes)
        return;
    const platform::CharAttributes a = memo->selAttributes();
    const IniFile ini = IniFile::programIni();
    settings::write(ini, settings::FontName, a.face);
    settings::write(ini, settings::FontSize, a.size);
    settings::write(ini, settings::FontColor,
                    a.autoColor ? TColorBox::AutoColor : colorValue(a.color));
    settings::write(ini, settings::FontStyle, styleWord(a));
}
