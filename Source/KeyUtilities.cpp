#include "Source/KeyUtilities.h"

#include <QString>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/Bundle.h"

namespace {

struct KeyName {
    int keyCode;
    const char* name;
};

constexpr KeyName kFunctionKeys[] = {
    {122, "F1"},  {120, "F2"},  {99, "F3"},   {118, "F4"},  {96, "F5"},   {97, "F6"},   {98, "F7"},
    {100, "F8"},  {101, "F9"},  {109, "F10"}, {103, "F11"}, {111, "F12"}, {105, "F13"}, {107, "F14"},
    {113, "F15"}, {106, "F16"}, {64, "F17"},  {79, "F18"},  {80, "F19"},
};

struct KeyCharacter {
    int keyCode;
    char16_t character;
};

// What a key that types no text gives the layout's translation: a control character, the
// characters the names below are keyed by.
constexpr KeyCharacter kControlCharacters[] = {
    {36, 0x0D},                                          // Return
    {48, 0x09},                                          // Tab
    {51, 0x08},                                          // Backspace
    {53, 0x1B},                                          // Escape
    {76, 0x03},                                          // keypad Enter
    {115, 0x01}, {119, 0x04}, {116, 0x0B}, {121, 0x0C},  // Home, End, Page Up, Page Down
    {117, 0x7F},                                         // forward delete
    {123, 0x1C}, {124, 0x1D}, {125, 0x1F}, {126, 0x1E},  // arrows
};

struct GlyphName {
    char16_t glyph;
    const char* name;
};

// Searched from the top; the first match names the key.
constexpr GlyphName kGlyphNames[] = {
    {0xF700, "Up"},      {0xF701, "Down"},    {0xF702, "Left"},      {0xF703, "Right"}, {0xF729, "Home"},
    {0xF72B, "End"},     {0xF72C, "Page Up"}, {0xF72D, "Page Down"}, {0x1E, "Up"},      {0x1F, "Down"},
    {0x1C, "Left"},      {0x1D, "Right"},     {0x01, "Home"},        {0x04, "End"},     {0x0B, "Page Up"},
    {0x0C, "Page Down"}, {0x03, "Return"},    {0x09, "Tab"},         {0x19, "Backtab"}, {0x0D, "Enter"},
    {0x08, "Backspace"}, {0x7F, "Delete"},    {0x1B, "Escape"},      {0x20, "Space"},
};

struct ModifierSymbol {
    uint32_t mask;
    const char* symbol;
};

constexpr ModifierSymbol kModifierSymbols[] = {
    {NSShiftKeyMask, "\u21E7"},
    {NSControlKeyMask, "\u2303"},
    {NSAlternateKeyMask, "\u2325"},
    {NSCommandKeyMask, "\u2318"},
};

}  // namespace

std::string KeyUtilities::stringForKeyCodeModifiers(int keyCode, uint32_t cocoaModifiers) {
    return stringForModifiers(cocoaModifiers) + stringForKeyCode(keyCode).value_or(std::string{});
}

std::string KeyUtilities::stringForModifiers(uint32_t cocoaModifiers) {
    std::string symbols;
    for (const ModifierSymbol& m : kModifierSymbols)
        if (cocoaModifiers & m.mask) symbols += m.symbol;
    return symbols;
}

std::optional<std::string> KeyUtilities::stringForKeyCode(int keyCode) {
    for (const KeyName& k : kFunctionKeys)
        if (k.keyCode == keyCode) return std::string(k.name);
    return translateKeyCode(keyCode, 0);
}

std::optional<std::string> KeyUtilities::translateKeyCode(int keyCode, uint32_t cocoaModifiers) {
    const auto layout = KeyboardLayout::current();
    if (!layout) return std::nullopt;
    QString typed;
    for (const KeyCharacter& k : kControlCharacters)
        if (k.keyCode == keyCode) typed = QString(QChar(k.character));
    if (typed.isEmpty()) {
        const std::optional<std::string> text = layout->textForKeyCode(keyCode, cocoaModifiers);
        if (!text || text->empty()) return std::nullopt;
        typed = QString::fromStdString(*text);
    }
    const char16_t first = typed.at(0).unicode();
    for (const GlyphName& g : kGlyphNames)
        if (g.glyph == first) return NSBundle::mainBundle().localizedStringForKey(g.name, "", "");
    return typed.toStdString();
}
