// The texts of the numbered alerts, looked up in the main bundle's "Alerts" strings table.
//
// Kinds: 5000 the summary (key "ALERTS_" and the alert's name), 5001 a default-button word, 5002
// a don't-save word, 5003 the explanation (key "ALERTE_" and the name). A key without a
// translation yields the key itself. Every function may be called from any thread.
#pragma once

#include <optional>
#include <string>

class CString;

constexpr int kAlertSummaryKind = 5000;
constexpr int kAlertDefaultButtonKind = 5001;
constexpr int kAlertDontSaveKind = 5002;
constexpr int kAlertExplanationKind = 5003;

// The localized text, or nullopt when the kind or index is not in the tables.
std::optional<std::string> GetAlertCFString(int kind, short index);
// The same cut to at most 255 bytes of UTF-8 (never inside a character); empty when none.
void GetAlertCString(CString& text, int kind, short index);
// The same as a length-byte string; length 0 when none.
void GetAlertPString(unsigned char (&text)[256], int kind, short index);

// The per-kind look-ups; each gives nullopt unless called with its own kind.
std::optional<std::string> GetAlertSummaryString(int kind, short index);
std::optional<std::string> GetAlertExplanationString(int kind, short index);
std::optional<std::string> GetDefaultButtonString(int kind, short index);
std::optional<std::string> GetDontSaveString(int kind, short index);

// The table key behind a look-up, or nullopt when the kind or index is not in the tables.
std::optional<std::string> GetAlertKey(int kind, short index);
