// The stored rules as the defaults file may hold them, and condition texts: reading never
// crashes, every rule read archives and reads back the same, its condition evaluates to a value
// or an error, and every text the parser accepts prints as a text it reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Source/RulesController.h"
#include "platform/Foundation/KeyValueCoding.h"
#include "platform/Foundation/PredicateParser.h"
#include "platform/Foundation/PropertyListSerialization.h"

namespace {

struct Track : KeyValueCoding {
    std::optional<PropertyList> valueForKeyPath(std::string_view keyPath) const override {
        if (keyPath == "trackName") return PropertyList("Café Slow");
        if (keyPath == "trackBPM") return PropertyList(120);
        if (keyPath == "assigned") return PropertyList(true);
        if (keyPath == "ratio") return PropertyList(0.5);
        return std::nullopt;
    }
};

void checkCondition(const Predicate& predicate) {
    (void)predicate.evaluateWithObject(Track());
    auto back = Predicate::unarchive(predicate.archive());
    if (!back || !back.value()->isEqual(predicate)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (auto plist = PropertyListSerialization::propertyListWithData({data, size});
        plist && plist.value().array()) {
        for (const PropertyList& item : *plist.value().array()) {
            auto rule = Rule::unarchive(item);
            if (!rule) continue;
            auto again = Rule::unarchive(rule.value().archive());
            if (!again || again.value().index != rule.value().index ||
                again.value().description != rule.value().description)
                abort();
            if (rule.value().rules) checkCondition(*rule.value().rules);
        }
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = PredicateParser::predicateWithFormat(text);
    if (!parsed) return 0;
    checkCondition(*parsed.value());
    auto reread = PredicateParser::predicateWithFormat(parsed.value()->predicateFormat());
    if (!reread || !reread.value()->isEqual(*parsed.value())) abort();
    return 0;
}
