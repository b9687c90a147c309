// Automation objects: counted references and creation by ProgID.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/automation/com_error.h"

namespace automation {

// The common base of every object that CreateObject hands out.
class Object {
public:
    virtual ~Object() = default;
};

// Objects are held by counted references; the last one frees the object.
template <class T>
using Ptr = std::shared_ptr<T>;

using ObjectFactory = std::function<Ptr<Object>()>;

// The class registry. Layers register their classes at start-up; tests may
// unregister one to exercise a fallback. Safe to call from any thread.
void RegisterClass(const std::wstring& progId, ObjectFactory factory);
void UnregisterClass(const std::wstring& progId);
bool IsClassRegistered(const std::wstring& progId);

// Creates an object by ProgID (case-insensitive, as the registry is).
// An unknown ProgID raises ComError(REGDB_E_CLASSNOTREG, "Class not registered").
Ptr<Object> CreateObject(const std::wstring& progId);

// Creates an object and asks it for the interface T; E_NOINTERFACE when it has none.
template <class T>
Ptr<T> CreateObjectAs(const std::wstring& progId)
{
    auto object = std::dynamic_pointer_cast<T>(CreateObject(progId));
    if (!object)
        throw ComError(E_NOINTERFACE, L"No such interface supported");
    return object;
}

}  // namespace automation
