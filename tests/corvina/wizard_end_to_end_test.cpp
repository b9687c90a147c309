// The whole wizard road as a user takes it with the mouse: two databases loaded, a pairing and a
// key changed on the tables page, the comparison read from the records grid, a script written
// for each direction and each kind of statement alone, and a synchronisation with a backup, after
// which the target holds what the source holds and the backup what the target held.
#include <QRadioButton>

#include <filesystem>
#include <fstream>
#include <regex>

#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result.h"
#include "corvina/choice_page.h"
#include "corvina/message_page.h"
#include "corvina/save_file_field.h"
#include "corvina/script_options_page.h"
#include "corvina/tables_page.h"
#include "output/sync_fixture.h"
#include "page_clicks.h"
#include "wizard_fixture.h"

namespace wizardtest {
namespace {

using automation::Variant;
using synctest::TableDef;

const TableDef kT{L"T", {{L"ID", L"LONG", 3}, {L"Name", L"TEXT(20)", 202}}, {L"ID"}, true, {}};
// The same table under two names; its rows are told apart by Tag once the user makes it the key.
TableDef Stock(const wchar_t* name)
{
    return {name,
            {{L"Code", L"TEXT(5)", 202}, {L"Qty", L"LONG", 3}, {L"Tag", L"TEXT(5)", 202}},
            {L"Code"},
            true,
            {}};
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WizardEndToEndTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        one = PathOf("one.mdb");
        two = PathOf("two.mdb");
        synctest::CreateStore(one, {kT, Stock(L"Stock")});
        synctest::CreateStore(two, {kT, Stock(L"Items")});
        synctest::InsertRows(one, kT, {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")},
                                        {Variant(4), Variant(L"d")}});
        synctest::InsertRows(two, kT, {{Variant(1), Variant(L"a")},
                                        {Variant(2), Variant(L"changed")},
                                        {Variant(3), Variant(L"c")}});
        synctest::InsertRows(one, Stock(L"Stock"),
                             {{Variant(L"x"), Variant(1), Variant(L"p")},
                              {Variant(L"y"), Variant(2), Variant(L"q")}});
        synctest::InsertRows(two, Stock(L"Items"),
                             {{Variant(L"x2"), Variant(5), Variant(L"p")},
                              {Variant(L"z"), Variant(3), Variant(L"r")}});
    }

    TablesPage* Tables() const { return Current<TablesPage>(); }

    void Click(const htmlui::ElementRef& e) { pageclicks::Click(*Tables(), e); }

    int PairIndex(const std::wstring& first) const
    {
        const TablePairList& pairs = *Tables()->Pairs();
        for (int i = 0; i < int(pairs.Pairs().size()); ++i)
            if (pairs.GetPair(i)->First() && pairs.GetPair(i)->First()->Name() == first)
                return i;
        return -1;
    }

    // Equal, only in Database1, only in Database2 and modified of the pair of a Database1 table.
    std::array<int, 4> Counts(const std::wstring& first)
    {
        ComparisonContext& context = wizard->Context();
        for (const auto& pair : context.PairList()->Pairs())
            if (pair->First() && pair->First()->Name() == first)
                if (TableResult* result = context.Store()->FindTableResult(pair.get()))
                    return result->Counts();
        return {-1, -1, -1, -1};
    }

    // From the tables page on: the user pairs Stock with Items and keys it by Tag.
    void ChooseItems()
    {
        ASSERT_NE(Tables(), nullptr);
        const int stock = PairIndex(L"Stock");
        ASSERT_GE(stock, 0);
        htmlui::ElementRef table =
            Tables()->GetRootElement().FindById("structure").GetChild(unsigned(stock));
        Click(table.FindFirst(".tables_popup_button"));
        const htmlui::ElementRef grid = table.FindFirst(".popup_grid");
        ASSERT_TRUE(grid.IsValid());
        for (unsigned k = 0; k < grid.GetChildCount(); ++k)
            if (grid.GetChild(k).GetInnerText().find(L"Items") != std::wstring::npos) {
                Click(grid.GetChild(k).GetChild(0));
                break;
            }
        const TablePair& pair = *Tables()->Pairs()->GetPair(PairIndex(L"Stock"));
        ASSERT_NE(pair.Second(), nullptr);
        ASSERT_EQ(pair.Second()->Name(), L"Items");
        Tables()->RunMenuCommand(L"reset_key", PairIndex(L"Stock"), 0);  // not by Code
        Tables()->RunMenuCommand(L"set_key", PairIndex(L"Stock"), 2);    // but by Tag
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), 5) << automation::ToUtf8(Tables() ? Tables()->Message()
                                                                            : L"");
        ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    }

    // From the records window to a written script (and a synchronisation when run).
    void WriteScript(const std::wstring& path, int direction, int kinds, bool run)
    {
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), 6);
        Current<ChoicePage>()->ScriptChoice()->setChecked(true);
        ClickNext();
        auto* options = Current<ScriptOptionsPage>();
        ASSERT_NE(options, nullptr);
        options->OutputFile()->Edit()->setText(QString::fromStdWString(path));
        (direction == 1 ? options->Upgrade1To2() : options->Upgrade2To1())->setChecked(true);
        options->AddRecords()->setChecked(kinds & 1);
        options->UpdateRecords()->setChecked(kinds & 2);
        options->DeleteRecords()->setChecked(kinds & 4);
        options->RunSynchronization()->setChecked(run);
        options->CreateBackup()->setChecked(run);
        ClickNext();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(wizard->CurrentStep(), run ? 13 : 9)
            << (dialogs.messages.empty() ? "" : automation::ToUtf8(dialogs.messages.back().text));
    }

    std::wstring one;
    std::wstring two;
};

TEST_F(WizardEndToEndTest, ComparesScriptsAndSynchronizesTwoStoresWithTheMouse)
{
    EnterDatabase(one);
    EnterDatabase(two);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ChooseItems();
    // T: 1 equal, 4 only in Database1, 3 only in Database2, 2 modified. Stock/Items by Tag:
    // p modified (other Code and Qty), q only in Database1, r only in Database2.
    EXPECT_EQ(Counts(L"T"), (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_EQ(Counts(L"Stock"), (std::array<int, 4>{0, 1, 1, 1}));

    // Each direction with each kind of statement alone writes only that kind.
    const std::wstring kinds[] = {L"INSERT INTO", L"UPDATE", L"DELETE FROM"};
    for (int direction : {1, 2})
        for (int kind = 0; kind < 3; ++kind) {
            const std::string name = "d" + std::to_string(direction) + "k" + std::to_string(kind) +
                                     ".sql";
            WriteScript(PathOf(name.c_str()), direction, 1 << kind, false);
            const std::string script = ReadFile(dir / name);
            for (int other = 0; other < 3; ++other) {
                const bool present =
                    script.find(automation::ToUtf8(kinds[other])) != std::string::npos;
                EXPECT_EQ(present, other == kind) << name << " " << automation::ToUtf8(kinds[other]);
            }
            ClickBack();  // the script options again
            ClickBack();  // the choice
            ClickBack();  // the records window, which compares again
            ASSERT_EQ(wizard->CurrentStep(), 5);
            ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
        }

    // Upgrade Database1 to Database2, all three kinds, run at once with a backup.
    const std::string before = synctest::DumpTable(one, kT) + synctest::DumpTable(one, Stock(L"Stock"));
    WriteScript(PathOf("sync.sql"), 1, 7, true);
    EXPECT_EQ(Current<MessagePage>()->Text(), QStringLiteral("The synchronization is completed"));
    EXPECT_EQ(synctest::DumpTable(one, kT), synctest::DumpTable(two, kT));
    EXPECT_EQ(synctest::DumpTable(one, Stock(L"Stock")), synctest::DumpTable(two, Stock(L"Items")));
    std::vector<std::filesystem::path> backups;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (std::regex_match(entry.path().filename().string(),
                             std::regex(R"(one\.mdb\.\d+\.\d+\.\d+_\d+-\d+-\d+\.bkp)")))
            backups.push_back(entry.path());
    ASSERT_EQ(backups.size(), 1u);
    const std::wstring backup = automation::FromUtf8(backups[0].string());
    EXPECT_EQ(synctest::DumpTable(backup, kT) + synctest::DumpTable(backup, Stock(L"Stock")),
              before);

    // Back lands on the records window, which compares again: everything is equal now.
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    EXPECT_EQ(Counts(L"T"), (std::array<int, 4>{3, 0, 0, 0}));
    EXPECT_EQ(Counts(L"Stock"), (std::array<int, 4>{2, 0, 0, 0}));
    EXPECT_TRUE(dialogs.messages.empty())
        << automation::ToUtf8(dialogs.messages.empty() ? L"" : dialogs.messages[0].text);
}

TEST_F(WizardEndToEndTest, ASynchronizationKeyedOnAFieldThatRepeatsIsRefusedAndChangesNothing)
{
    // No primary key: the user keys Dup on A, which Database1 holds twice.
    const TableDef dup{L"Dup", {{L"A", L"LONG", 3}, {L"V", L"TEXT(5)", 202}}, {}, false, {}};
    synctest::Execute(one, synctest::CreateTableSql(dup));
    synctest::Execute(two, synctest::CreateTableSql(dup));
    synctest::InsertRows(
        one, dup,
        {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")}, {Variant(2), Variant(L"c")}});
    synctest::InsertRows(two, dup, {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"x")}});
    EnterDatabase(one);
    EnterDatabase(two);
    ASSERT_NE(Tables(), nullptr);
    Tables()->RunMenuCommand(L"set_key", PairIndex(L"Dup"), 0);
    ClickNext();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));

    const std::string before = synctest::DumpTable(one, dup);
    ClickNext();
    Current<ChoicePage>()->ScriptChoice()->setChecked(true);
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    const std::wstring script = PathOf("sync.sql");
    options->OutputFile()->Edit()->setText(QString::fromStdWString(script));
    options->Upgrade1To2()->setChecked(true);
    options->RunSynchronization()->setChecked(true);
    options->CreateBackup()->setChecked(true);
    ClickNext();
    ASSERT_TRUE(Settle());
    // Refused with a message naming the table, the side and the value; back on the options.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::wstring& text = dialogs.messages[0].text;
    EXPECT_NE(text.find(L"table Dup"), std::wstring::npos) << automation::ToUtf8(text);
    EXPECT_NE(text.find(L"Database1"), std::wstring::npos);
    EXPECT_NE(text.find(L"value 2 "), std::wstring::npos);
    EXPECT_NE(Current<ScriptOptionsPage>(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir / "sync.sql"));
    EXPECT_EQ(synctest::DumpTable(one, dup), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().extension(), ".bkp") << entry.path();
}

TEST_F(WizardEndToEndTest, AGenuineNorthwindFileUpgradesAChangedNativeCopy)
{
    const TableDef shippers{L"Shippers",
                            {{L"ShipperID", L"LONG", 3},
                             {L"CompanyName", L"TEXT(40) NOT NULL", 202},
                             {L"Phone", L"TEXT(24)", 202}},
                            {L"ShipperID"},
                            true,
                            {}};
    const std::wstring copy = PathOf("copy.mdb");
    synctest::CreateStore(copy, {shippers});
    synctest::InsertRows(copy, shippers,
                         {{Variant(1), Variant(L"Speedy Express"), Variant(L"(503) 555-9831")},
                          {Variant(2), Variant(L"United Package"), Variant(L"(503) 555-0000")},
                          {Variant(9), Variant(L"Gone Shipping"), Variant(L"0")}});
    const std::wstring nwind =
        automation::FromUtf8(testsupport::CopyTestData("nwind.mdb", dir).string());
    const std::string genuine = ReadFile(automation::ToUtf8(nwind));
    EnterDatabase(copy);
    EnterDatabase(nwind);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ClickNext();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    // Northwind has three shippers: 1 equal, 2 with another phone, 3 missing, 9 extra.
    EXPECT_EQ(Counts(L"Shippers"), (std::array<int, 4>{1, 1, 1, 1}));
    WriteScript(PathOf("nwind.sql"), 1, 7, true);
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    EXPECT_EQ(Counts(L"Shippers"), (std::array<int, 4>{3, 0, 0, 0}));
    EXPECT_TRUE(ReadFile(automation::ToUtf8(nwind)) == genuine) << "the genuine file changed";
}

// A genuine file cannot be written: synchronising into it fails, and the box says why from its
// first word, without an empty line or the caption over again.
TEST_F(WizardEndToEndTest, ASynchronisationIntoAGenuineFileSaysWhyItFailed)
{
    const TableDef shippers{L"Shippers",
                            {{L"ShipperID", L"LONG", 3},
                             {L"CompanyName", L"TEXT(40) NOT NULL", 202},
                             {L"Phone", L"TEXT(24)", 202}},
                            {L"ShipperID"},
                            true,
                            {}};
    const std::wstring copy = PathOf("copy.mdb");
    synctest::CreateStore(copy, {shippers});
    synctest::InsertRows(copy, shippers,
                         {{Variant(1), Variant(L"Speedy Express"), Variant(L"(503) 555-9831")}});
    const std::wstring nwind =
        automation::FromUtf8(testsupport::CopyTestData("nwind.mdb", dir).string());
    const std::string genuine = ReadFile(automation::ToUtf8(nwind));
    EnterDatabase(nwind);
    EnterDatabase(copy);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ClickNext();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    ClickNext();
    Current<ChoicePage>()->ScriptChoice()->setChecked(true);
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    options->OutputFile()->Edit()->setText(QString::fromStdWString(PathOf("into_genuine.sql")));
    options->Upgrade1To2()->setChecked(true);  // the genuine Database1 is the target
    options->RunSynchronization()->setChecked(true);
    options->CreateBackup()->setChecked(false);
    ClickNext();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(wizard->CurrentStep(), 5) << "back on the records window";
    ASSERT_FALSE(dialogs.messages.empty());
    const Message& box = dialogs.messages.back();
    EXPECT_EQ(box.caption, L"Error");
    ASSERT_FALSE(box.text.empty());
    EXPECT_NE(box.text.front(), L'\r');
    EXPECT_NE(box.text.front(), L'\n');
    EXPECT_NE(box.text.rfind(L"Error: ", 0), 0u);
    EXPECT_TRUE(ReadFile(automation::ToUtf8(nwind)) == genuine) << "the genuine file changed";
}

TEST_F(WizardEndToEndTest, TheEndPagesNameTheTablesThatKeepDifferentAutoNumbers)
{
    // C is compared by Code; its AutoNumber N differs in row a, which the engine cannot change.
    const TableDef counted = synctest::CountedTable();
    const std::wstring a = PathOf("a.mdb"), b = PathOf("b.mdb");
    synctest::CreateStore(a, {counted, kT});
    synctest::CreateStore(b, {counted, kT});
    synctest::InsertRows(a, counted, {{Variant(L"a"), Variant(1), Variant(L"old")}});
    synctest::InsertRows(b, counted, {{Variant(L"a"), Variant(7), Variant(L"new")}});
    synctest::InsertRows(a, kT, {{Variant(1), Variant(L"x")}});
    synctest::InsertRows(b, kT, {{Variant(1), Variant(L"y")}});
    EnterDatabase(a);
    EnterDatabase(b);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ClickNext();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    const QString notice = QStringLiteral(
        "An AutoNumber field cannot be changed, so rows of these tables keep AutoNumber values "
        "that differ from the source: C");

    WriteScript(PathOf("saved.sql"), 1, 7, false);
    EXPECT_EQ(Current<MessagePage>()->Text(), QStringLiteral("The SQL script has been saved"));
    EXPECT_EQ(Current<MessagePage>()->Notice(), notice);
    ClickBack();
    ClickBack();
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));

    WriteScript(PathOf("sync.sql"), 1, 7, true);
    EXPECT_EQ(Current<MessagePage>()->Text(), QStringLiteral("The synchronization is completed"));
    EXPECT_EQ(Current<MessagePage>()->Notice(), notice);
    EXPECT_EQ(synctest::DumpTable(a, counted), "'a'|1|'new'\n");
    EXPECT_EQ(synctest::DumpTable(a, kT), synctest::DumpTable(b, kT));

    // Without UPDATEs nothing is said: the user chose to leave changed rows as they are.
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    WriteScript(PathOf("inserts.sql"), 1, 1, false);
    EXPECT_EQ(Current<MessagePage>()->Notice(), QString());
}

}  // namespace
}  // namespace wizardtest
