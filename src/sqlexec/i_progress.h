// The progress sink interface: how a long operation (a schema load, an output task, a script
// run) reports how far it has come. Kept free of any window code so that every layer can use it.
#pragma once

class IProgress {
public:
    // The amount of work about to be done.
    virtual void SetTotal(int total) = 0;
    // That much more is done.
    virtual void Advance(int delta) = 0;
    // Advance by 1.
    virtual void Step() = 0;
    // The work is complete.
    virtual void Done() = 0;
    virtual ~IProgress() = default;
};

// For callers that show no progress (the script runner).
class FakeProgress : public IProgress {
public:
    void SetTotal(int) override {}
    void Advance(int) override {}
    void Step() override {}
    void Done() override {}
};
