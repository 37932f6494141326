// Resolution of object specifiers into the stand-in's objects.
//
// Key forms: prop (a property of the container), indx (1-based, negative from the end, or the
// ordinals 'abso'('all '), ('any '), ('firs'), ('last')), test (a 'cmpd' comparison with
// relo '=' of a property of the object examined and a value, in either order), and the id
// form 'ID  ' of the specifiers the player hands out. The container 'null' is the application;
// an indx of a set of the class it asks for (a test, or every element) picks within that set.
// An object that is not there is errAENoSuchObject; a malformed specifier errAENotAnObjSpec; a
// key form or comparison the player does not offer errAEBadKeyForm.
#pragma once

#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"
#include "player/ObjectRef.h"

namespace player {

class PlayerModel;
class PropertyAccessor;

struct Resolution {
    std::vector<ObjectRef> objects;
    // The specifier names a set (every element, a test): answers are lists, even of one.
    bool isList{false};
    // Non-zero: the specifier names this property of each object.
    DescType property{0};
};

class ObjectResolver {
public:
    ObjectResolver(const PlayerModel& model, const PropertyAccessor& properties)
        : fModel(model), fProperties(properties) {}
    ObjectResolver(const ObjectResolver&) = delete;
    ObjectResolver& operator=(const ObjectResolver&) = delete;

    OSStatus resolve(const AEDesc& specifier, Resolution* result) const;
    // Resolves to objects only: a property that refers to objects (the current track, a
    // parent) is followed; any other property is errAENoSuchObject.
    OSStatus resolveObjects(const AEDesc& specifier, std::vector<ObjectRef>* objects, bool* isList) const;
    // The elements of a class in a container, in order.
    OSStatus elements(const ObjectRef& container, DescType desiredClass,
                      std::vector<ObjectRef>* result) const;

private:
    OSStatus resolve(const AEDesc& specifier, const ObjectRef* examined, int depth, Resolution* result) const;
    OSStatus follow(const Resolution& resolution, Resolution* objects) const;
    OSStatus resolveIndex(const AEDesc& key, DescType desiredClass, const Resolution& container,
                          Resolution* result) const;
    OSStatus resolveTest(const AEDesc& key, DescType desiredClass, const Resolution& container, int depth,
                         Resolution* result) const;
    // Whether the comparison holds for the object examined.
    OSStatus test(const AEDesc& comparison, const ObjectRef& examined, int depth, bool* holds) const;
    OSStatus operand(const AEDesc& operand, const ObjectRef& examined, int depth, AEDesc* value) const;

    const PlayerModel& fModel;
    const PropertyAccessor& fProperties;
};

}  // namespace player
