#include "platform/automation/object.h"

#include <cwctype>
#include <map>
#include <mutex>

namespace automation {
namespace {

std::wstring Folded(const std::wstring& progId)
{
    std::wstring key = progId;
    for (auto& c : key)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

struct ClassRegistry {
    std::mutex mutex;
    std::map<std::wstring, ObjectFactory> factories;
};

ClassRegistry& Registry()
{
    static ClassRegistry registry;
    return registry;
}

}  // namespace

void RegisterClass(const std::wstring& progId, ObjectFactory factory)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.factories[Folded(progId)] = std::move(factory);
}

void UnregisterClass(const std::wstring& progId)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.factories.erase(Folded(progId));
}

bool IsClassRegistered(const std::wstring& progId)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.factories.count(Folded(progId)) != 0;
}

Ptr<Object> CreateObject(const std::wstring& progId)
{
    ObjectFactory factory;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        auto it = registry.factories.find(Folded(progId));
        if (it == registry.factories.end())
            throw ComError(REGDB_E_CLASSNOTREG, L"Class not registered");
        factory = it->second;
    }
    return factory();  // outside the lock: a factory may create other objects
}

}  // namespace automation
