// One object of Database1 and its counterpart in Database2, if any: the unit of
// pairing for tables and fields.
#pragma once

class SchemaField;

template <class T>
class ObjectPair {
public:
    ObjectPair(T* first, T* second) : first_(first), second_(second) {}
    virtual ~ObjectPair() = default;
    ObjectPair(const ObjectPair&) = delete;
    ObjectPair& operator=(const ObjectPair&) = delete;

    // Forgets the Database2 side.
    virtual void Reset() { second_ = nullptr; }
    virtual void SetSecond(T* second) { second_ = second; }

    T* First() const { return first_; }  // never null
    T* Second() const { return second_; }
    bool IsMatched() const { return second_ != nullptr; }

private:
    T* first_;
    T* second_;
};

class FieldPair : public ObjectPair<SchemaField> {
public:
    using ObjectPair::ObjectPair;
    bool IsKey() const { return key_; }
    void SetKey(bool key) { key_ = key; }

private:
    bool key_ = false;
};
