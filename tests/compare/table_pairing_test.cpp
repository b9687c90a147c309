// Pairing of tables and fields by name, default keys and the user's changes, and
// the stored comparison setting.
#include <gtest/gtest.h>

#include "compare/comparison_options.h"
#include "comparison_fixture.h"
#include "platform/ui/registry_settings.h"

namespace {

using namespace testsupport;

struct Schemas {
    DatabaseSchema one{L"one.mdb"};
    DatabaseSchema two{L"two.mdb"};
};

std::vector<std::wstring> SecondNames(const TablePairList& list)
{
    std::vector<std::wstring> names;
    for (const auto& pair : list.Pairs())
        names.push_back(pair->IsMatched() ? pair->Second()->Name() : L"-");
    return names;
}

std::vector<std::wstring> KeyNames(const FieldPairList& fields)
{
    std::vector<std::wstring> names;
    for (const auto& pair : fields.Pairs())
        if (pair->IsKey())
            names.push_back(pair->First()->Name());
    return names;
}

TEST(TablePairingTest, TablesAndFieldsPairIgnoringCase)
{
    Schemas s;
    AddTable(s.one, L"Orders", {L"CustomerID", L"Total"});
    AddTable(s.one, L"Lonely", {L"x"});
    AddTable(s.two, L"ORDERS", {L"customerid", L"Other"});
    AddTable(s.two, L"Unused", {L"x"});
    TablePairList list(s.one, s.two);

    EXPECT_EQ(SecondNames(list), (std::vector<std::wstring>{L"ORDERS", L"-"}));
    const FieldPairList& fields = list.GetPair(0)->Fields();
    ASSERT_EQ(fields.Pairs().size(), 2u);
    EXPECT_EQ(fields.GetPair(0)->Second()->Name(), L"customerid");
    EXPECT_FALSE(fields.GetPair(1)->IsMatched());
    EXPECT_EQ(list.GetPair(2), nullptr);
    EXPECT_EQ(list.GetPair(-1), nullptr);
}

TEST(TablePairingTest, DefaultKeysComeFromTheDatabase1PrimaryKeyWhereDatabase2HasTheField)
{
    Schemas s;
    AddTable(s.one, L"Full", {L"a", L"b", L"c"}, {L"B", L"a"});
    AddTable(s.two, L"Full", {L"a", L"b", L"c"});
    AddTable(s.one, L"Partial", {L"a", L"b"}, {L"a", L"b"});
    AddTable(s.two, L"Partial", {L"b"});
    AddTable(s.one, L"Gone", {L"a", L"b"}, {L"a"});
    AddTable(s.two, L"Gone", {L"b"});
    AddTable(s.one, L"NoKey", {L"a"});
    AddTable(s.two, L"NoKey", {L"a"});
    TablePairList list(s.one, s.two);

    // Field-list order, not key-column order.
    EXPECT_EQ(KeyNames(list.GetPair(0)->Fields()), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(KeyNames(list.GetPair(1)->Fields()), (std::vector<std::wstring>{L"b"}));
    EXPECT_TRUE(KeyNames(list.GetPair(2)->Fields()).empty());
    EXPECT_TRUE(KeyNames(list.GetPair(3)->Fields()).empty());

    list.GetPair(3)->Fields().GetPair(0)->SetKey(true);
    EXPECT_EQ(KeyNames(list.GetPair(3)->Fields()), (std::vector<std::wstring>{L"a"}));
}

TEST(TablePairingTest, ManualPairingMovesACounterpartAndRebuildsTheFields)
{
    Schemas s;
    AddTable(s.one, L"A", {L"id", L"v"}, {L"id"});
    AddTable(s.one, L"B", {L"id"});
    AddTable(s.two, L"B", {L"id"});
    AddTable(s.two, L"X", {L"ID", L"w"});
    TablePairList list(s.one, s.two);
    ASSERT_EQ(SecondNames(list), (std::vector<std::wstring>{L"-", L"B"}));

    struct Step {
        int index1, index2;
        std::vector<std::wstring> expected;
    };
    const Step steps[] = {
        {0, 0, {L"B", L"-"}},                          // A takes B away from B
        {1, 1, {L"B", L"X"}},  {1, 1, {L"B", L"X"}},   // already its counterpart
        {1, 0, {L"-", L"B"}},                          // B takes B back; X is free again
        {-1, 1, {L"-", L"B"}},                         // no Database1 object: nothing
        {0, 7, {L"-", L"B"}},                          // no such Database2 object: nothing
        {9, 0, {L"-", L"B"}},                          // no such pair: nothing
        {0, 1, {L"X", L"B"}},  {1, -1, {L"X", L"-"}},  // unpairs
    };
    for (const Step& step : steps) {
        list.SetCounterpart(step.index1, step.index2);
        EXPECT_EQ(SecondNames(list), step.expected) << step.index1 << "," << step.index2;
    }
    // A's fields now pair with X's, with the default key.
    const FieldPairList& fields = list.GetPair(0)->Fields();
    EXPECT_EQ(fields.GetPair(0)->Second()->Name(), L"ID");
    EXPECT_FALSE(fields.GetPair(1)->IsMatched());
    EXPECT_EQ(KeyNames(fields), (std::vector<std::wstring>{L"id"}));

    list.ResetAll();
    EXPECT_EQ(SecondNames(list), (std::vector<std::wstring>{L"-", L"-"}));
    EXPECT_FALSE(list.GetPair(0)->Fields().GetPair(0)->IsMatched());
}

TEST(ComparisonOptionsTest, NullEqualsEmptyIsOnForAnyNonZeroValue)
{
    const std::wstring key = L"SOFTWARE\\Corvina";
    struct Case {
        std::optional<uint32_t> stored;
        bool expected;
    };
    for (const Case& c : {Case{2, true}, Case{1, true}, Case{0, false}}) {
        ASSERT_TRUE(ui::WriteRegistryDword(key, L"nulleqemptystr", *c.stored));
        ComparisonOptions options;
        EXPECT_EQ(options.LoadNullEqualsEmpty().Value(), c.expected) << *c.stored;
    }
    ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(true));
    EXPECT_EQ(ui::ReadRegistryDword(key, L"nulleqemptystr", 7), 1u);
    ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(false));
    EXPECT_EQ(ui::ReadRegistryDword(key, L"nulleqemptystr", 7), 0u);
}

}  // namespace
