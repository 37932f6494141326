#include "Source/KeyUtilities.h"

#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/Bundle.h"

namespace {

struct GlyphName {
    char32_t glyph;
    const char* name;
};

// Searched from the top: the function-key characters first, then the control characters.
constexpr GlyphName kGlyphNames[] = {
    {0xF700, "Up"},      {0xF701, "Down"},    {0xF702, "Left"},      {0xF703, "Right"}, {0xF729, "Home"},
    {0xF72B, "End"},     {0xF72C, "Page Up"}, {0xF72D, "Page Down"}, {0x1E, "Up"},      {0x1F, "Down"},
    {0x1C, "Left"},      {0x1D, "Right"},     {0x01, "Home"},        {0x04, "End"},     {0x0B, "Page Up"},
    {0x0C, "Page Down"}, {0x03, "Return"},    {0x09, "Tab"},         {0x19, "Backtab"}, {0x0D, "Enter"},
    {0x08, "Backspace"}, {0x7F, "Delete"},    {0x1B, "Escape"},      {0x20, "Space"},
};

struct FunctionKey {
    int keyCode;
    const char* name;
};

constexpr FunctionKey kFunctionKeys[] = {
    {122, "F1"},  {120, "F2"},  {99, "F3"},   {118, "F4"},  {96, "F5"},   {97, "F6"},   {98, "F7"},
    {100, "F8"},  {101, "F9"},  {109, "F10"}, {103, "F11"}, {111, "F12"}, {105, "F13"}, {107, "F14"},
    {113, "F15"}, {106, "F16"}, {64, "F17"},  {79, "F18"},  {80, "F19"},
};

// The keys whose characters are control characters, which the layout does not hand out as text.
struct ControlKey {
    int keyCode;
    char32_t character;
};

constexpr ControlKey kControlKeys[] = {
    {36, 0x0D},  {76, 0x03},  {48, 0x09},  {53, 0x1B},  {51, 0x08},  {117, 0x7F}, {123, 0x1C},
    {124, 0x1D}, {125, 0x1F}, {126, 0x1E}, {115, 0x01}, {119, 0x04}, {116, 0x0B}, {121, 0x0C},
};

// The first character of UTF-8 text.
char32_t firstCharacter(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    if (n == 0) return 0;
    if (s[0] < 0x80) return s[0];
    if ((s[0] & 0xE0) == 0xC0 && n >= 2) return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    if ((s[0] & 0xF0) == 0xE0 && n >= 3) return ((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
    if ((s[0] & 0xF8) == 0xF0 && n >= 4)
        return ((s[0] & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F);
    return 0;
}

}  // namespace

std::string KeyUtilities::stringForKeyCode(int keyCode, uint32_t modifiers) {
    return stringForModifiers(modifiers) + stringForKeyCode(keyCode);
}

std::string KeyUtilities::stringForModifiers(uint32_t modifiers) {
    return KRStringForCocoaModifierFlags(modifiers);
}

std::string KeyUtilities::stringForKeyCode(int keyCode) {
    for (const FunctionKey& key : kFunctionKeys)
        if (key.keyCode == keyCode) return key.name;
    return translateKeyCode(keyCode, 0).value_or("");
}

std::optional<std::string> KeyUtilities::translateKeyCode(int keyCode, uint32_t modifiers) {
    auto layout = KeyboardLayout::current();
    std::optional<std::string> text = layout ? layout->textForKeyCode(keyCode, modifiers) : std::nullopt;
    char32_t first = text && !text->empty() ? firstCharacter(*text) : 0;
    if (!first)
        for (const ControlKey& key : kControlKeys)
            if (key.keyCode == keyCode) first = key.character;
    if (!first) return std::nullopt;
    for (const GlyphName& glyph : kGlyphNames)
        if (glyph.glyph == first) return NSBundle::mainBundle().localizedStringForKey(glyph.name, "", "");
    return text;
}
