// Turns virtual key codes into display strings and back. Named keys come from a fixed table
// (function keys, arrows, Return, Escape, Space…); the others from the current keyboard layout,
// so the reverse map is rebuilt when the layout changes. One shared instance; main thread only.
#pragma once

#include <map>
#include <optional>
#include <string>

class PropertyList;

class KRKeyCodeTransformer {
public:
    KRKeyCodeTransformer(const KRKeyCodeTransformer&) = delete;
    KRKeyCodeTransformer& operator=(const KRKeyCodeTransformer&) = delete;

    static KRKeyCodeTransformer& shared();
    static bool allowsReverseTransformation() { return true; }

    // The display string of a number, or nullopt for a non-number.
    std::optional<std::string> transformedValue(const PropertyList& value);
    // The display string of a key code; nullopt outside 0 to 127 or when no layout names the key.
    std::optional<std::string> stringForKeyCode(long keyCode);
    // The key code that shows the string, from the codes 0 to 127.
    std::optional<long> reverseTransformedValue(const std::string& displayString);

private:
    KRKeyCodeTransformer();
    void rebuildReverseMapIfLayoutChanged();

    std::map<int, std::string> mNamedKeys;
    std::string mPadFormat;
    std::map<std::string, long> mReverse;
    std::optional<unsigned long long> mReverseGeneration;
};
