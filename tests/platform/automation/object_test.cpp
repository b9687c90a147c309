// The class registry: creation by ProgID, unknown classes, unregistering.
#include "platform/automation/object.h"

#include <gtest/gtest.h>

namespace automation {
namespace {

class Counter : public Object {
public:
    static inline int alive = 0;
    Counter() { ++alive; }
    ~Counter() override { --alive; }
};

class Other : public Object {};

TEST(ClassRegistry, CreatesRegisteredClassesByProgIdIgnoringCase)
{
    RegisterClass(L"Test.Counter", [] { return std::make_shared<Counter>(); });
    EXPECT_TRUE(IsClassRegistered(L"test.COUNTER"));
    {
        auto object = CreateObjectAs<Counter>(L"TEST.counter");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(Counter::alive, 1);
        auto second = object;  // another reference keeps the same object
        object.reset();
        EXPECT_EQ(Counter::alive, 1);
    }
    EXPECT_EQ(Counter::alive, 0);  // the last reference freed it
    UnregisterClass(L"Test.Counter");
}

TEST(ClassRegistry, UnknownOrUnregisteredClassIsNotRegisteredError)
{
    RegisterClass(L"Test.Gone", [] { return std::make_shared<Other>(); });
    UnregisterClass(L"TEST.GONE");
    EXPECT_FALSE(IsClassRegistered(L"Test.Gone"));
    for (const wchar_t* progId : {L"Test.Gone", L"No.Such.Class", L""}) {
        try {
            CreateObject(progId);
            ADD_FAILURE() << "created an unregistered class";
        } catch (const ComError& e) {
            EXPECT_EQ(e.Error(), REGDB_E_CLASSNOTREG);
            EXPECT_EQ(e.Description(), L"Class not registered");
        }
    }
}

TEST(ClassRegistry, AskingForAMissingInterfaceIsNoInterfaceError)
{
    RegisterClass(L"Test.Other", [] { return std::make_shared<Other>(); });
    try {
        CreateObjectAs<Counter>(L"Test.Other");
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Error(), E_NOINTERFACE);
    }
    UnregisterClass(L"Test.Other");
}

TEST(ClassRegistry, RegisteringAgainReplacesTheFactory)
{
    RegisterClass(L"Test.Replace", [] { return std::make_shared<Other>(); });
    RegisterClass(L"test.replace", [] { return std::make_shared<Counter>(); });
    EXPECT_NE(std::dynamic_pointer_cast<Counter>(CreateObject(L"Test.Replace")), nullptr);
    UnregisterClass(L"Test.Replace");
}

}  // namespace
}  // namespace automation
