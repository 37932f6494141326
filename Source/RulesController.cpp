#include "Source/RulesController.h"

#include <algorithm>
#include <iostream>
#include <set>

#include "Source/PlayerAccess.h"
#include "Source/PlayerStatus.h"
#include "Source/RulesControllerHost.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

// The boolean keys of a rule and their fields, in one table for both directions.
struct FlagKey {
    const char* key;
    bool Rule::*field;
};

constexpr FlagKey kFlagKeys[] = {
    {"Active", &Rule::active},
    {"AddToPlaylist", &Rule::addToPlaylist},
    {"RemoveFromPlaylist", &Rule::removeFromPlaylist},
    {"ShowGetInfo", &Rule::showGetInfo},
    {"ActivateiTunes", &Rule::activateiTunes},
};

struct IDKey {
    const char* key;
    std::optional<SInt64> Rule::*field;
};

constexpr IDKey kIDKeys[] = {
    {"AddToPlaylistID", &Rule::addPlaylistID},
    {"RemoveFromPlaylistID", &Rule::removePlaylistID},
};

}  // namespace

PropertyList Rule::archive() const {
    PropertyList::Dictionary d{{"Index", index}, {"Description", description}};
    for (const FlagKey& flag : kFlagKeys) d[flag.key] = this->*flag.field;
    for (const IDKey& id : kIDKeys)
        if (const auto& value = this->*id.field) d[id.key] = PropertyList(int64_t{*value});
    if (rules) d["BeatwickRules"] = rules->archive();
    return d;
}

Result<Rule> Rule::unarchive(const PropertyList& archived) {
    if (!archived.dictionary()) return Failure{"a rule is not a dictionary"};
    Rule rule;
    const PropertyList* index = archived.objectForKey("Index");
    const auto indexValue = index ? index->integer() : std::nullopt;
    if (!indexValue || *indexValue < 0 || *indexValue > INT32_MAX)
        return Failure{"a rule has no valid Index"};
    rule.index = static_cast<int>(*indexValue);
    // A missing boolean reads as false, a new rule's "Active" included.
    for (const FlagKey& flag : kFlagKeys) {
        const PropertyList* value = archived.objectForKey(flag.key);
        rule.*flag.field = value && value->integer().value_or(0) != 0;
    }
    if (const PropertyList* description = archived.objectForKey("Description")) {
        if (!description->string()) return Failure{"a rule's description is not a text"};
        rule.description = *description->string();
    }
    for (const IDKey& id : kIDKeys) {
        if (const PropertyList* value = archived.objectForKey(id.key)) {
            const auto number = value->integer();
            if (!number) return Failure{std::string("a rule's ") + id.key + " is not a number"};
            rule.*id.field = *number;
        }
    }
    if (const PropertyList* condition = archived.objectForKey("BeatwickRules")) {
        auto predicate = Predicate::unarchive(*condition);
        if (!predicate) return Failure{"a rule's condition is unreadable: " + predicate.error()};
        rule.rules = std::move(predicate).value();
    }
    return rule;
}

// ---------------------------------------------------------------------------------------------

RulesController& RulesController::rules() {
    static RulesController shared(NSUserDefaults::standardUserDefaults(),
                                  NSNotificationCenter::defaultCenter());
    return shared;
}

RulesController::RulesController(NSUserDefaults& defaults, NSNotificationCenter& center, Log log)
    : fDefaults(defaults), fCenter(center), fLog(std::move(log)) {
    load();
}

void RulesController::log(const std::string& message) const {
    if (fLog)
        fLog(message);
    else
        std::cerr << "Beatwick: " << message << '\n';
}

void RulesController::load() {
    const auto data = fDefaults.dataForKey(kRulesDictsKey);
    if (!data) return;
    auto fail = [&](const std::string& why) {
        // Kept aside whole: one bad rule must not cost the others at the next save.
        log("The stored rules are unreadable (" + why + ") and were set aside under \"" +
            kUnreadableRulesDictsKey + "\"");
        fDefaults.setObject(PropertyList(*data), kUnreadableRulesDictsKey);
        fDefaults.removeObjectForKey(kRulesDictsKey);
    };
    auto plist = PropertyListSerialization::propertyListWithData(*data);
    if (!plist) return fail(plist.error());
    const PropertyList::Array* array = plist.value().array();
    if (!array) return fail("the archive is not a list");
    std::vector<Rule> rules;
    for (const PropertyList& item : *array) {
        auto rule = Rule::unarchive(item);
        if (!rule) return fail(rule.error());
        rules.push_back(std::move(rule).value());
    }
    fRules = std::move(rules);
}

void RulesController::saveRulesNow() {
    PropertyList::Array array;
    if (fRules)
        for (const Rule& rule : *fRules) array.push_back(rule.archive());
    auto data = PropertyListSerialization::dataWithPropertyList(PropertyList(std::move(array)),
                                                                PropertyListFormat::Binary);
    if (!data) {
        log("The rules could not be saved: " + data.error());
        return;
    }
    fDefaults.setObject(PropertyList(std::move(data).value()), kRulesDictsKey);
}

void RulesController::postUpdateRules() {
    fCenter.postNotificationName(kUpdateRulesNotification, this);
}

// ---------------------------------------------------------------------------------------------
// Look-ups.

int RulesController::numberOfRules() const {
    return fRules ? static_cast<int>(fRules->size()) : 0;
}

const Rule* RulesController::ruleForIndex(int index) const {
    if (!fRules || index < 0) return nullptr;
    for (const Rule& rule : *fRules)
        if (rule.index == index) return &rule;
    return nullptr;
}

Rule* RulesController::ruleForIndex(int index) {
    return const_cast<Rule*>(std::as_const(*this).ruleForIndex(index));
}

int RulesController::rowValueForIndex(int index) const {
    if (!fRules || index < 0) return -1;
    for (size_t row = 0; row < fRules->size(); ++row)
        if ((*fRules)[row].index == index) return static_cast<int>(row);
    return -1;
}

int RulesController::indexForRow(int row) const {
    if (row < 0 || row >= numberOfRules()) return -1;
    return (*fRules)[static_cast<size_t>(row)].index;
}

std::optional<Rule> RulesController::ruleAtRow(int row) const {
    if (row < 0 || row >= numberOfRules()) return std::nullopt;
    return (*fRules)[static_cast<size_t>(row)];
}

int RulesController::lowestFreeIndex() const {
    std::set<int> taken;
    if (fRules)
        for (const Rule& rule : *fRules) taken.insert(rule.index);
    int index = 0;
    while (taken.count(index)) ++index;
    return index;
}

// ---------------------------------------------------------------------------------------------
// Properties.

std::string RulesController::descriptionForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule ? rule->description : std::string();
}

void RulesController::setDescription(const std::string& description, int index) {
    if (Rule* rule = ruleForIndex(index)) {
        rule->description = description;
        postUpdateRules();
    }
}

bool RulesController::activeForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule && rule->active;
}

void RulesController::setActive(bool active, int index) {
    if (Rule* rule = ruleForIndex(index)) {
        rule->active = active;
        saveRulesNow();
    }
}

bool RulesController::addToPlaylistForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule && rule->addToPlaylist;
}

void RulesController::setAddToPlaylist(bool flag, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->addToPlaylist = flag;
}

bool RulesController::removeFromPlaylistForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule && rule->removeFromPlaylist;
}

void RulesController::setRemoveFromPlaylist(bool flag, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->removeFromPlaylist = flag;
}

bool RulesController::showGetInfoForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule && rule->showGetInfo;
}

void RulesController::setShowGetInfo(bool flag, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->showGetInfo = flag;
}

bool RulesController::activateiTunesForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule && rule->activateiTunes;
}

void RulesController::setActivateiTunes(bool flag, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->activateiTunes = flag;
}

std::optional<SInt64> RulesController::addPlaylistIDForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule ? rule->addPlaylistID : std::nullopt;
}

void RulesController::setAddPlaylistID(SInt64 persistentID, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->addPlaylistID = persistentID;
}

std::optional<SInt64> RulesController::removePlaylistIDForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule ? rule->removePlaylistID : std::nullopt;
}

void RulesController::setRemovePlaylistID(SInt64 persistentID, int index) {
    if (Rule* rule = ruleForIndex(index)) rule->removePlaylistID = persistentID;
}

Predicate::Pointer RulesController::rulesForIndex(int index) const {
    const Rule* rule = ruleForIndex(index);
    return rule ? rule->rules : nullptr;
}

Predicate::Pointer RulesController::rulesForRow(int row) const {
    return rulesForIndex(indexForRow(row));
}

void RulesController::setRules(Predicate::Pointer predicate, int index) {
    Rule* rule = ruleForIndex(index);
    if (!rule) return;
    const bool save = predicate != nullptr;
    rule->rules = std::move(predicate);
    if (save) saveRulesNow();
}

// ---------------------------------------------------------------------------------------------
// The list.

void RulesController::addNewRule() {
    Rule rule;
    rule.index = lowestFreeIndex();
    if (!fRules) fRules.emplace();
    fRules->push_back(std::move(rule));
    postUpdateRules();
    saveRulesNow();
}

void RulesController::duplicateRuleWithRowIndex(int row) {
    const auto source = ruleAtRow(row);
    if (!source) return;
    Rule copy = *source;
    copy.index = lowestFreeIndex();
    copy.description = NSLocalizedString("Copy of", "") + " " + source->description;
    fRules->push_back(std::move(copy));
    postUpdateRules();
    saveRulesNow();
}

void RulesController::removeRuleWithRowIndex(int row) {
    if (row < 0 || row >= numberOfRules()) return;
    const int index = (*fRules)[static_cast<size_t>(row)].index;
    fRules->erase(fRules->begin() + row);
    fCenter.postNotificationName(kRuleRemovedNotification, this, PropertyList::Dictionary{{"Index", index}});
    postUpdateRules();
    saveRulesNow();
}

void RulesController::moveRuleAtRow(int fromRow, int toRow) {
    const int count = numberOfRules();
    if (fromRow < 0 || fromRow >= count || toRow < 0 || toRow > count) return;
    Rule rule = std::move((*fRules)[static_cast<size_t>(fromRow)]);
    fRules->erase(fRules->begin() + fromRow);
    const int at = fromRow < toRow ? toRow - 1 : toRow;
    fRules->insert(fRules->begin() + at, std::move(rule));
    saveRulesNow();
    postUpdateRules();
}

// ---------------------------------------------------------------------------------------------
// The engine.

void RulesController::applyRules(const PlayerStatus& status, RulesControllerHost& host) {
    if (numberOfRules() == 0 || !status.track()) return;
    // A rule's actions may reach back into the list, so the count is read again each time.
    for (int row = 0; row < numberOfRules(); ++row) applyRule(row, status, host);
}

void RulesController::applyRule(int row, const PlayerStatus& status, RulesControllerHost& host) {
    // A copy: the bridge calls below wait for the player and must not see the rule change under them.
    const auto rule = ruleAtRow(row);
    if (!rule || !rule->active || !rule->rules) return;
    auto holds = rule->rules->evaluateWithObject(status);
    if (!holds) {
        log("Error when evaluating predicate (" + rule->rules->predicateFormat() + ") - " + holds.error());
        return;
    }
    if (!holds.value()) return;

    const std::shared_ptr<PlayerTrack> track = status.track();
    const std::optional<std::string> path = track ? host.pathOfTrack(*track) : std::nullopt;
    if (rule->addToPlaylist && rule->addPlaylistID && path) {
        if (auto playlist = host.playlistWithPersistentId(*rule->addPlaylistID))
            if (!host.trackInPlaylist(*playlist, track->persistentId()))
                if (const SInt16 status = host.addTrackPath(*path, *playlist); status != 0)
                    log("The track could not be added to a playlist (" + std::to_string(status) +
                        "): " + *path);
    }
    if (rule->removeFromPlaylist && rule->removePlaylistID && path) {
        if (auto playlist = host.playlistWithPersistentId(*rule->removePlaylistID))
            if (auto inPlaylist = host.trackInPlaylist(*playlist, track->persistentId()))
                host.removeTrack(*inPlaylist, *playlist);
    }
    if (rule->activateiTunes && !rule->showGetInfo) host.activatePlayer();
    if (rule->showGetInfo) host.runGetInfoScript();
}
