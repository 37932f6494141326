#include "Source/KeyRecorder/KRKeyCodeTransformer.h"

#include <QList>
#include <QString>

#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/PropertyList.h"

namespace {

struct NamedKey {
    int keyCode;
    const char* text;
};

constexpr NamedKey kNamedKeys[] = {
    {122, "F1"},     {120, "F2"},     {99, "F3"},      {118, "F4"},     {96, "F5"},      {97, "F6"},
    {98, "F7"},      {100, "F8"},     {101, "F9"},     {109, "F10"},    {103, "F11"},    {111, "F12"},
    {105, "F13"},    {107, "F14"},    {113, "F15"},    {106, "F16"},    {64, "F17"},     {79, "F18"},
    {80, "F19"},     {51, "\u232B"},  {117, "\u2326"}, {71, "\u2327"},  {123, "\u2190"}, {124, "\u2192"},
    {126, "\u2191"}, {125, "\u2193"}, {119, "\u2198"}, {115, "\u2196"}, {53, "\u238B"},  {121, "\u21DF"},
    {116, "\u21DE"}, {36, "\u21A9"},  {76, "\u2305"},  {48, "\u21E5"},  {114, "?"},
};

// The table's keypad codes; isKeypadKeyCode also counts Enter and Clear, which are named above.
constexpr int kPadKeyCodes[] = {65, 67, 69, 75, 78, 81, 82, 83, 84, 85, 86, 87, 88, 89, 91, 92};

bool isPadKey(int keyCode) {
    for (int code : kPadKeyCodes)
        if (code == keyCode) return true;
    return false;
}

std::string firstCharacterUpperCased(const std::string& text) {
    const QList<uint> characters = QString::fromStdString(text).toUcs4();
    if (characters.isEmpty()) return {};
    // The simple mapping, so that a key shows one character ("ß" stays, rather than "SS").
    const char32_t upper = QChar::toUpper(static_cast<char32_t>(characters.front()));
    return QString::fromUcs4(&upper, 1).toStdString();
}

}  // namespace

KRKeyCodeTransformer& KRKeyCodeTransformer::shared() {
    static KRKeyCodeTransformer transformer;
    return transformer;
}

KRKeyCodeTransformer::KRKeyCodeTransformer() : mPadFormat(KRLocalizedString("Pad %@")) {
    for (const NamedKey& key : kNamedKeys) mNamedKeys.emplace(key.keyCode, key.text);
    mNamedKeys.emplace(kKeyCodeSpace, KRLocalizedString("Space"));
    KeyboardLayout::followLayoutChanges();
}

std::optional<std::string> KRKeyCodeTransformer::transformedValue(const PropertyList& value) {
    if (!value.isNumber()) return std::nullopt;
    const std::optional<int64_t> code = value.integer();
    if (!code) return std::nullopt;
    return stringForKeyCode(static_cast<long>(*code));
}

std::optional<std::string> KRKeyCodeTransformer::stringForKeyCode(long keyCode) {
    if (!KRIsVirtualKeyCode(keyCode)) return std::nullopt;
    const auto code = static_cast<int>(keyCode);
    if (auto named = mNamedKeys.find(code); named != mNamedKeys.end()) return named->second;
    const auto layout = KeyboardLayout::current();
    if (!layout) return std::nullopt;
    const std::optional<std::string> typed = layout->textForKeyCode(code, 0);
    if (!typed) return std::nullopt;
    const std::string shown = firstCharacterUpperCased(*typed);
    if (shown.empty()) return std::nullopt;
    return isPadKey(code) ? KRFormat(mPadFormat, {shown}) : shown;
}

std::optional<long> KRKeyCodeTransformer::reverseTransformedValue(const std::string& displayString) {
    rebuildReverseMapIfLayoutChanged();
    auto found = mReverse.find(displayString);
    if (found == mReverse.end()) return std::nullopt;
    return found->second;
}

void KRKeyCodeTransformer::rebuildReverseMapIfLayoutChanged() {
    KeyboardLayout::current();  // loads the layout, so the generation below is the one in use
    const unsigned long long generation = KeyboardLayout::generation();
    if (mReverseGeneration == generation) return;
    mReverse.clear();
    for (long code = 0; code < 128; ++code) {
        const std::optional<std::string> text = stringForKeyCode(code);
        if (text && !text->empty()) mReverse[*text] = code;
    }
    mReverseGeneration = generation;
}
