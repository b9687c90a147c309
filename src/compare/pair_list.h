// The pairing of Database1 objects with Database2 objects by name, shared by the
// table list and each table's field list. Pairs follow the order of the Database1
// objects; a Database2 object belongs to at most one pair.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

template <class T, class Pair>
class PairList {
public:
    using Objects = std::vector<std::unique_ptr<T>>;

    // objects2 may be null (a field list of a table that has no counterpart).
    PairList(const Objects* objects1, const Objects* objects2)
        : objects1_(objects1), objects2_(objects2)
    {
    }
    virtual ~PairList() = default;
    PairList(const PairList&) = delete;
    PairList& operator=(const PairList&) = delete;

    virtual T* FindCounterpart(const T& object1) const = 0;

    // Pairs every Database1 object with its counterpart found by name.
    virtual void Build()
    {
        ResetAll();
        pairs_.clear();
        if (!objects1_)
            return;
        for (const auto& object1 : *objects1_) {
            T* object2 = FindCounterpart(*object1);
            pairs_.push_back(MakePair(object1.get(), object2));
            map1_[object1.get()] = pairs_.back().get();
            if (object2)
                map2_[object2] = pairs_.back().get();
        }
    }

    // Manual pairing: pair index1 takes Database2 object index2 away from whichever
    // pair held it. index2 < 0 unpairs index1. Indexes out of range do nothing.
    virtual void SetCounterpart(int index1, int index2)
    {
        if (index1 < 0 || index1 >= static_cast<int>(pairs_.size()))
            return;
        if (index2 < 0) {
            ResetPair(index1);
            return;
        }
        if (!objects2_ || index2 >= static_cast<int>(objects2_->size()))
            return;
        T* object2 = (*objects2_)[index2].get();
        Pair* pair = pairs_[index1].get();
        if (pair->Second() == object2)
            return;
        Unpair(object2);
        if (T* old = pair->Second())
            Unpair(old);
        pair->SetSecond(object2);
        map2_[object2] = pair;
        map1_[pair->First()] = pair;
    }

    // One Database2 object as a choice for a pair: whether it is that pair's partner now, or
    // the partner of another pair (choosing it takes it away from there).
    struct Candidate {
        T* object;
        bool current;
        bool used;
    };
    // Every Database2 object, in order, as a choice for pair index1 (none for a bad index).
    std::vector<Candidate> Candidates(int index1) const
    {
        std::vector<Candidate> candidates;
        const Pair* pair = GetPair(index1);
        if (!pair || !objects2_)
            return candidates;
        candidates.reserve(objects2_->size());
        for (const auto& object2 : *objects2_) {
            const bool current = pair->Second() == object2.get();
            candidates.push_back({object2.get(), current, !current && map2_.count(object2.get())});
        }
        return candidates;
    }

    const std::vector<std::unique_ptr<Pair>>& Pairs() const { return pairs_; }
    Pair* GetPair(int index) const
    {
        return index >= 0 && index < static_cast<int>(pairs_.size()) ? pairs_[index].get()
                                                                     : nullptr;
    }

    void ResetPair(int index)
    {
        if (index < 0 || index >= static_cast<int>(pairs_.size()))
            return;
        if (T* second = pairs_[index]->Second())
            Unpair(second);
    }

    void ResetAll()
    {
        for (auto& pair : pairs_)
            pair->Reset();
        map1_.clear();
        map2_.clear();
    }

    const Objects* Objects1() const { return objects1_; }
    const Objects* Objects2() const { return objects2_; }

protected:
    virtual std::unique_ptr<Pair> MakePair(T* object1, T* object2) const = 0;

    void SetObjects2(const Objects* objects2) { objects2_ = objects2; }

private:
    // The pair that holds object2 loses it.
    void Unpair(T* object2)
    {
        auto it = map2_.find(object2);
        if (it == map2_.end())
            return;
        it->second->Reset();
        map2_.erase(it);
    }

    const Objects* objects1_;
    const Objects* objects2_;
    std::unordered_map<const T*, Pair*> map1_;
    std::unordered_map<const T*, Pair*> map2_;
    std::vector<std::unique_ptr<Pair>> pairs_;
};
