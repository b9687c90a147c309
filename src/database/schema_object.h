// The common base of every element of the schema model: a named catalog object.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

class SchemaObject {
public:
    // What an object is, for callers that hold it through the base.
    // Linked tables and stored queries answer kBase.
    enum ObjectKind : int {
        kBase = 0,
        kTable = 1,
        kField = 2,
        kIndex = 3,
        kKey = 4,
        kCheckConstraint = 6,
    };

    virtual ~SchemaObject();

    SchemaObject(const SchemaObject&) = delete;
    SchemaObject& operator=(const SchemaObject&) = delete;

    virtual int Kind() const;

    const std::wstring& Name() const { return name_; }

protected:
    explicit SchemaObject(std::wstring name);

private:
    std::wstring name_;
};

// Appends an object to a vector that owns its elements and returns the object, as
// every Add of the schema model does.
template <class T>
T* AppendOwned(std::vector<std::unique_ptr<T>>& owned, std::unique_ptr<T> object)
{
    owned.push_back(std::move(object));
    return owned.back().get();
}
