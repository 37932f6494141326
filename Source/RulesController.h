// The user's rules and the engine that applies them: each rule is a condition over the current
// track and up to four actions (add to a playlist, remove from one, bring the player forward,
// open its info window) that run, in that order, when the condition holds. The list is kept in
// row order under the defaults key "RulesDicts" as one archived data value. Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"
#include "platform/Foundation/Predicate.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

class NSNotificationCenter;
class NSUserDefaults;
class PlayerStatus;
class RulesControllerHost;

// One rule; the comments give the keys of its stored form.
struct Rule {
    int index{0};                            // "Index": the identifier, stable while the rule exists
    bool active{true};                       // "Active"
    std::string description;                 // "Description"
    Predicate::Pointer rules;                // "BeatwickRules": the condition, null until one is saved
    bool addToPlaylist{false};               // "AddToPlaylist"
    std::optional<SInt64> addPlaylistID;     // "AddToPlaylistID"
    bool removeFromPlaylist{false};          // "RemoveFromPlaylist"
    std::optional<SInt64> removePlaylistID;  // "RemoveFromPlaylistID"
    bool showGetInfo{false};                 // "ShowGetInfo"
    bool activateiTunes{false};              // "ActivateiTunes"

    PropertyList archive() const;
    static Result<Rule> unarchive(const PropertyList& archived);
};

class RulesController {
public:
    RulesController(const RulesController&) = delete;
    RulesController& operator=(const RulesController&) = delete;

    using Log = std::function<void(const std::string&)>;

    static constexpr const char* kRulesDictsKey = "RulesDicts";
    // Where an archive that cannot be read is set aside, so the next save does not overwrite it.
    static constexpr const char* kUnreadableRulesDictsKey = "RulesDicts (unreadable)";
    static constexpr const char* kUpdateRulesNotification = "UpdateRules";
    static constexpr const char* kRuleRemovedNotification = "RuleRemoved";

    // The shared store over the standard defaults and the default centre, made on first use and
    // kept to the end of the process.
    static RulesController& rules();

    // Reads the list stored under "RulesDicts". Neither reference is owned; both must outlive
    // the store. The log gets the engine's evaluation errors and the store's read and write failures.
    RulesController(NSUserDefaults& defaults, NSNotificationCenter& center, Log log = {});

    // Rows are positions in the list (from 0); an Index is a rule's "Index". Operations taking an
    // index act on the first rule that carries it; getters of an unknown index answer false or
    // nullopt, setters do nothing.
    int numberOfRules() const;
    // -1 when the index is -1 or no rule carries it.
    int rowValueForIndex(int index) const;
    // -1 for a row outside the list (no selection), never a real Index.
    int indexForRow(int row) const;
    // A copy of the rule in the row, or nullopt.
    std::optional<Rule> ruleAtRow(int row) const;

    std::string descriptionForIndex(int index) const;
    // Posts "UpdateRules"; does not save.
    void setDescription(const std::string& description, int index);
    bool activeForIndex(int index) const;
    // Saves at once.
    void setActive(bool active, int index);
    // These setters do not save.
    bool addToPlaylistForIndex(int index) const;
    void setAddToPlaylist(bool flag, int index);
    bool removeFromPlaylistForIndex(int index) const;
    void setRemoveFromPlaylist(bool flag, int index);
    bool showGetInfoForIndex(int index) const;
    void setShowGetInfo(bool flag, int index);
    bool activateiTunesForIndex(int index) const;
    void setActivateiTunes(bool flag, int index);
    std::optional<SInt64> addPlaylistIDForIndex(int index) const;
    void setAddPlaylistID(SInt64 persistentID, int index);
    std::optional<SInt64> removePlaylistIDForIndex(int index) const;
    void setRemovePlaylistID(SInt64 persistentID, int index);

    Predicate::Pointer rulesForIndex(int index) const;
    Predicate::Pointer rulesForRow(int row) const;
    // A condition is stored and the list saved; null removes the condition without saving.
    void setRules(Predicate::Pointer predicate, int index);

    // Appends an active rule with an empty description and the lowest free Index.
    void addNewRule();
    // Appends a copy described as "Copy of" and the source's description, with a new Index; the
    // condition is shared, not copied.
    void duplicateRuleWithRowIndex(int row);
    // Posts "RuleRemoved" with the rule's Index, then "UpdateRules".
    void removeRuleWithRowIndex(int row);
    // `toRow` counts the gaps between rows as a table drop does: 0 above the first row, n below the last.
    void moveRuleAtRow(int fromRow, int toRow);
    void saveRulesNow();

    // Every rule in row order, the count read again after each one.
    void applyRules(const PlayerStatus& status, RulesControllerHost& host);
    void applyRule(int row, const PlayerStatus& status, RulesControllerHost& host);

    // The lowest non-negative Index no rule carries; never above the number of rules.
    int lowestFreeIndex() const;

private:
    Rule* ruleForIndex(int index);
    const Rule* ruleForIndex(int index) const;
    void load();
    void postUpdateRules();
    void log(const std::string& message) const;

    NSUserDefaults& fDefaults;
    NSNotificationCenter& fCenter;
    Log fLog;
    // Null (nullopt) while nothing was stored and no rule was added.
    std::optional<std::vector<Rule>> fRules;
};
