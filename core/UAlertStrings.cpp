#include "core/UAlertStrings.h"

#include <cstring>
#include <string_view>

#include "core/CString.h"
#include "platform/Carbon/TextEncoding.h"
#include "platform/Foundation/Bundle.h"

namespace {

struct AlertName {
    short number;
    const char* name;
};
constexpr AlertName kAlertNames[] = {
    {36, "NoEmailAddress"},       {37, "SuggestionSucceeded"}, {38, "SuggestionFailed"},
    {39, "TechSupportSucceeded"}, {40, "TechSupportFailed"},   {59, "ConversionErrors"},
    {64, "VersionIsCurrent"},     {65, "CantCheckVersion"},    {75, "CloseFeedbackWindow"},
    {76, "CloseSupportWindow"},
};

constexpr const char* kDefaultButtons[] = {
    "OK",    "Delete",  "Retrieve", "Setup", "Apply", "Stop",    "Reset",    "Post",   "Save",  "Subscribe",
    "Merge", "Compact", "Quit",     "Clear", "Open",  "Log out", "Assemble", "Search", "Close", "Join"};

constexpr const char* kDontSaveButtons[] = {"Don't Save", "Discard", "Keep Running"};

std::optional<std::string> AlertName(short index) {
    for (const auto& alert : kAlertNames)
        if (alert.number == index) return std::string(alert.name);
    return std::nullopt;
}

template <size_t N>
std::optional<std::string> Word(const char* const (&words)[N], short index) {
    if (index < 1 || static_cast<size_t>(index) > N) return std::nullopt;
    return std::string(words[index - 1]);
}

std::optional<std::string> Localized(const std::optional<std::string>& key) {
    if (!key) return std::nullopt;
    return NSBundle::mainBundle().localizedStringForKey(*key, *key, "Alerts");
}

}  // namespace

std::optional<std::string> GetAlertKey(int kind, short index) {
    switch (kind) {
        case kAlertSummaryKind:
            if (auto name = AlertName(index)) return "ALERTS_" + *name;
            return std::nullopt;
        case kAlertExplanationKind:
            if (auto name = AlertName(index)) return "ALERTE_" + *name;
            return std::nullopt;
        case kAlertDefaultButtonKind:
            return Word(kDefaultButtons, index);
        case kAlertDontSaveKind:
            return Word(kDontSaveButtons, index);
        default:
            return std::nullopt;
    }
}

std::optional<std::string> GetAlertSummaryString(int kind, short index) {
    return kind == kAlertSummaryKind ? Localized(GetAlertKey(kind, index)) : std::nullopt;
}

std::optional<std::string> GetAlertExplanationString(int kind, short index) {
    return kind == kAlertExplanationKind ? Localized(GetAlertKey(kind, index)) : std::nullopt;
}

std::optional<std::string> GetDefaultButtonString(int kind, short index) {
    return kind == kAlertDefaultButtonKind ? Localized(GetAlertKey(kind, index)) : std::nullopt;
}

std::optional<std::string> GetDontSaveString(int kind, short index) {
    return kind == kAlertDontSaveKind ? Localized(GetAlertKey(kind, index)) : std::nullopt;
}

std::optional<std::string> GetAlertCFString(int kind, short index) {
    switch (kind) {
        case kAlertSummaryKind:
            return GetAlertSummaryString(kind, index);
        case kAlertDefaultButtonKind:
            return GetDefaultButtonString(kind, index);
        case kAlertDontSaveKind:
            return GetDontSaveString(kind, index);
        case kAlertExplanationKind:
            return GetAlertExplanationString(kind, index);
        default:
            return std::nullopt;
    }
}

void GetAlertCString(CString& text, int kind, short index) {
    unsigned char pascal[256];
    GetAlertPString(pascal, kind, index);
    text = pascal;
}

void GetAlertPString(unsigned char (&text)[256], int kind, short index) {
    text[0] = 0;
    const std::optional<std::string> found = GetAlertCFString(kind, index);
    if (!found) return;
    const size_t n = UTF8PrefixLength(*found, 255);
    std::memcpy(text + 1, found->data(), n);
    text[0] = static_cast<unsigned char>(n);
}
