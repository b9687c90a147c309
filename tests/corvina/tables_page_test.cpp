// The table and field selection page driven as a user drives it: two native stores with shared,
// renamed and one-sided tables, clicks on the pairing buttons, choices in the candidate popups,
// reset crosses, the context menus, folding, and the checks before the wizard goes on.
#include "corvina/tables_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <string>
#include <string_view>
#include <utility>

#include "compare/table_pair_list.h"
#include "corvina/wizard_dialog.h"
#include "database/schema_field.h"
#include "htmlui/markup_text.h"
#include "output/sync_fixture.h"
#include "page_clicks.h"
#include "platform/automation/wide_text.h"
#include "platform/html/element.h"
#include "platform/ui/frame_dialogs.h"
#include "sqlexec/i_progress.h"

namespace {

using htmlui::ElementRef;
using synctest::TableDef;

// Answers every message box at once and keeps what it was asked.
class RecordingDialogs : public ui::FrameDialogs {
public:
    int MessageBox(QWidget*, const std::wstring& text, const std::wstring& caption,
                   unsigned) override
    {
        boxes.push_back({text, caption});
        return 1;
    }
    std::vector<std::pair<std::wstring, std::wstring>> boxes;
};

const std::wstring kOddName = L"Qty<b>&\"x\"";

// Database1: Customers, Orders, Notes (no primary key), Legacy (only here).
// Database2: Customers with one more field, ORDERS, Memo (Notes renamed), Extra (only here).
std::vector<TableDef> Side(bool second)
{
    std::vector<TableDef> tables;
    TableDef customers{L"Customers",
                       {{L"Id", L"LONG", 3}, {L"Name", L"TEXT(50)", 202}, {kOddName, L"LONG", 3}},
                       {L"Id"},
                       true,
                       {}};
    if (second)
        customers.columns.push_back({L"Phone", L"TEXT(20)", 202});
    tables.push_back(customers);
    tables.push_back({second ? L"ORDERS" : L"Orders",
                      {{L"OrderId", L"LONG", 3}, {L"Total", L"CURRENCY", 6}},
                      {L"OrderId"},
                      true,
                      {}});
    tables.push_back({second ? L"Memo" : L"Notes",
                      {{L"NoteId", L"LONG", 3}, {L"Body", L"MEMO", 203}},
                      {},
                      false,
                      {}});
    tables.push_back({second ? L"Extra" : L"Legacy", {{L"Id", L"LONG", 3}}, {L"Id"}, true, {}});
    return tables;
}

class TablesPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring path1 = synctest::Path(dir, "one.mdb");
        const std::wstring path2 = synctest::Path(dir, "two.mdb");
        synctest::CreateStore(path1, Side(false));
        synctest::CreateStore(path2, Side(true));
        ASSERT_TRUE(wizard.Initialize());
        wizard.resize(1000, 700);
        wizard.show();
        FakeProgress progress;
        wizard.Context().Source1().Settings().path = path1;
        wizard.Context().Source2().Settings().path = path2;
        ASSERT_TRUE(wizard.Context().Source1().Load(progress));
        ASSERT_TRUE(wizard.Context().Source2().Load(progress));
        page = new TablesPage(wizard.Context());
        page->Create(wizard);
        QApplication::processEvents();
        page->EnsureLayout();
    }
    void TearDown() override
    {
        if (page)
            page->Destroy();
        QApplication::processEvents();
    }

    TablePairList& Pairs() { return *page->Pairs(); }
    const TablePair& Pair(int n) { return *Pairs().GetPair(n); }
    std::wstring Partner(int n)
    {
        return Pair(n).Second() ? Pair(n).Second()->Name() : std::wstring(L"-");
    }
    ElementRef Table(int n) { return page->GetRootElement().FindById("structure").GetChild(n); }
    ElementRef In(int n, const char* selector) { return Table(n).FindFirst("%s", selector); }

    void Click(const ElementRef& e, Qt::MouseButton button = Qt::LeftButton)
    {
        pageclicks::Click(*page, e, button);
    }
    // Opens the context menu on an element and gives back the menu the page shows.
    QMenu* ContextMenu(const ElementRef& e)
    {
        for (QMenu* old : page->findChildren<QMenu*>())
            delete old;
        Click(e, Qt::RightButton);
        const auto menus = page->findChildren<QMenu*>();
        return menus.isEmpty() ? nullptr : menus.back();
    }
    static QAction* Item(QMenu* menu, const char* text)
    {
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(text))
                return a;
        return nullptr;
    }
    void Choose(const ElementRef& e, const char* text)
    {
        QMenu* menu = ContextMenu(e);
        ASSERT_NE(menu, nullptr);
        QAction* action = Item(menu, text);
        ASSERT_NE(action, nullptr) << text;
        action->trigger();
        menu->close();
        QApplication::processEvents();
    }
    // A field row of table n, from 0 after its pair row.
    ElementRef FieldRow(int n, unsigned m) { return Table(n).GetChild(m + 1); }
    bool Open(int n) { return Table(n).GetAttribute("state").value_or(L"") == L"open"; }
    // The structure as the page holds it after its rebuilds, table by table, and as writing the
    // last markup whole gives it.
    std::pair<std::string, std::string> ShownAndWritten()
    {
        html::ElementPtr whole = html::Element::CreateElement("div");
        whole->SetInnerHtml(std::string_view(page->StructureMarkup()).substr(3));
        return {page->GetRootElement().FindById("structure").Handle()->InnerHtml(),
                whole->InnerHtml()};
    }

    testsupport::TempDir dir;
    RecordingDialogs dialogs;
    WizardDialog wizard{dialogs};
    TablesPage* page = nullptr;
};

TEST_F(TablesPageTest, ShowsThePairsSideBySideWithTheirFieldsKeysAndUnpairedTables)
{
    ASSERT_EQ(Pairs().Pairs().size(), 4u);
    EXPECT_EQ(Partner(0), L"Customers");
    EXPECT_EQ(Partner(1), L"ORDERS");
    EXPECT_EQ(Partner(2), L"-");
    EXPECT_EQ(Partner(3), L"-");
    const ElementRef structure = page->GetRootElement().FindById("structure");
    ASSERT_EQ(structure.GetChildCount(), 4u);
    EXPECT_EQ(page->GetRootElement().FindById("db_path1").GetInnerText(),
              wizard.Context().Source1().Schema()->GetName());

    // Paired: a reset cross and no "g" mark; unpaired: marked, no cross, still a pick button.
    const ElementRef pairRow = Table(0).GetChild(0);
    EXPECT_TRUE(pairRow.GetAttribute("class") == std::optional<std::wstring>(L"tables_pair"));
    EXPECT_FALSE(pairRow.HasAttribute("m"));
    EXPECT_EQ(In(0, ".reset_table").GetAttributeInt("idx", -1), 0);
    EXPECT_EQ(Table(2).GetChild(0).GetAttribute("m").value_or(L""), L"g");
    EXPECT_FALSE(In(2, ".reset_table").IsValid());
    EXPECT_TRUE(In(2, ".tables_popup_button").IsValid());
    EXPECT_EQ(In(2, ".tables_popup").GetAttributeInt("idx", -1), 2);
    EXPECT_EQ(FieldRow(2, 0).GetAttribute("m").value_or(L""), L"g");
    EXPECT_FALSE(In(2, ".fields_popup").IsValid());

    // Customers: Id is the key from the primary key, the odd name shows as typed, Phone exists
    // only in Database2, so no field row of Database1 names it.
    EXPECT_EQ(FieldRow(0, 0).GetChild(0).GetAttribute("class").value_or(L""), L"key");
    EXPECT_FALSE(FieldRow(0, 1).GetChild(0).HasAttribute("class"));
    EXPECT_EQ(FieldRow(0, 2).GetChild(1).GetInnerText(), kOddName);
    EXPECT_EQ(FieldRow(0, 2).GetChild(4).GetInnerText(), kOddName);
    EXPECT_NE(page->StructureMarkup().find("Qty&lt;b&gt;&amp;&quot;x&quot;"), std::string::npos);
    EXPECT_EQ(FieldRow(0, 1).GetChild(2).FindFirst(".field_type").GetInnerText(), L"TEXT(50)");
    const ElementRef fieldsPopup = FieldRow(0, 1).FindFirst(".fields_popup");
    EXPECT_EQ(fieldsPopup.GetAttributeInt("idx", -1), 1);
    EXPECT_EQ(fieldsPopup.GetAttributeInt("tidx", -1), 0);
    EXPECT_EQ(FieldRow(0, 1).FindFirst(".reset_field").GetAttributeInt("tidx", -1), 0);
    // Every table starts closed; the structure is UTF-8 with its byte-order mark.
    for (int n = 0; n < 4; ++n)
        EXPECT_FALSE(Open(n)) << n;
    EXPECT_EQ(page->StructureMarkup().rfind("\xEF\xBB\xBF", 0), 0u);
}

TEST_F(TablesPageTest, ChoosingInTheTablesPopupPairsAndTakesThePartnerAway)
{
    // Notes has no partner: its list shows Database2's tables, those paired elsewhere grey.
    Click(In(2, ".tables_popup_button"));
    const ElementRef popup = In(2, ".tables_popup");
    QWidget* window = page->PopupWidget(popup.Handle());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width(), 300);
    EXPECT_LE(window->height(), 400);
    const ElementRef grid = popup.FindFirst(".popup_grid");
    EXPECT_EQ(grid.GetAttribute("cmd").value_or(L""), L"tables");
    ASSERT_EQ(grid.GetChildCount(), 4u);
    const std::vector<std::wstring> classes = {L"used", L"used", L"", L""};
    for (unsigned k = 0; k < 4; ++k)
        EXPECT_EQ(grid.GetChild(k).GetAttribute("class").value_or(L""), classes[k]) << k;

    Click(grid.GetChild(2).GetChild(0));  // "Memo"
    EXPECT_EQ(page->PopupWidget(popup.Handle()), nullptr);
    EXPECT_EQ(Partner(2), L"Memo");
    EXPECT_TRUE(In(2, ".reset_table").IsValid());
    EXPECT_FALSE(Table(2).GetChild(0).HasAttribute("m"));

    // Orders takes Customers: its list marks its own partner, and Customers loses its pair.
    Click(In(1, ".tables_popup_button"));
    const ElementRef grid1 = In(1, ".popup_grid");
    EXPECT_EQ(grid1.GetChild(1).GetAttribute("class").value_or(L""), L"current");
    EXPECT_EQ(grid1.GetChild(2).GetAttribute("class").value_or(L""), L"used");
    Click(grid1.GetChild(0).GetChild(0));
    EXPECT_EQ(Partner(1), L"Customers");
    EXPECT_EQ(Partner(0), L"-");
    EXPECT_EQ(Table(0).GetChild(0).GetAttribute("m").value_or(L""), L"g");

    // A field popup lists the partner table's fields.
    Choose(Table(2).GetChild(0), "Expand All Tables");
    Click(FieldRow(2, 0).FindFirst(".fields_popup_button"));
    const ElementRef fields = FieldRow(2, 0).FindFirst(".popup_grid");
    EXPECT_EQ(fields.GetAttribute("cmd").value_or(L""), L"fields");
    EXPECT_EQ(fields.GetAttributeInt("tidx", -1), 2);
    ASSERT_EQ(fields.GetChildCount(), 2u);
    Click(fields.GetChild(1).GetChild(0));  // NoteId takes Body, Body loses it
    const FieldPairList& noteFields = Pair(2).Fields();
    EXPECT_EQ(noteFields.GetPair(0)->Second()->Name(), L"Body");
    EXPECT_FALSE(noteFields.GetPair(1)->IsMatched());
    EXPECT_TRUE(Open(2));  // the folding the user had is kept
}

TEST_F(TablesPageTest, ResetCrossesKeysFoldingAndAutofillKeepTheFoldingTheUserLeft)
{
    // The user opens Customers by its icon; Orders stays closed.
    Click(In(0, ".icon"));
    ASSERT_TRUE(Open(0));

    Click(FieldRow(0, 1).FindFirst(".reset_field"));  // Name loses its partner
    EXPECT_FALSE(Pair(0).Fields().GetPair(1)->IsMatched());
    EXPECT_EQ(FieldRow(0, 1).GetChild(4).GetInnerText(), L"...");
    EXPECT_TRUE(Open(0));
    EXPECT_FALSE(Open(1));

    // Keys from the context menu of a field row; the folding survives each rebuild.
    Choose(FieldRow(0, 1).GetChild(1), "Set key");
    EXPECT_TRUE(Pair(0).Fields().GetPair(1)->IsKey());
    EXPECT_EQ(FieldRow(0, 1).GetChild(0).GetAttribute("class").value_or(L""), L"key");
    Choose(FieldRow(0, 0).GetChild(1), "Reset key");
    EXPECT_FALSE(Pair(0).Fields().GetPair(0)->IsKey());
    EXPECT_FALSE(FieldRow(0, 0).GetChild(0).HasAttribute("class"));
    EXPECT_TRUE(Open(0));
    // Another table opened by its icon while a command changes this one: the page holds
    // what it wrote, the other table open.
    Click(In(1, ".icon"));
    Choose(FieldRow(0, 1).GetChild(1), "Set key");
    EXPECT_TRUE(Open(1));
    {
        const auto [shown, written] = ShownAndWritten();
        EXPECT_EQ(shown, written);
    }
    Click(In(1, ".icon"));

    Choose(Table(0).GetChild(0).GetChild(1), "Autofill");  // pairs and default keys again
    EXPECT_TRUE(Pair(0).Fields().GetPair(1)->IsMatched());
    EXPECT_TRUE(Pair(0).Fields().GetPair(0)->IsKey());
    EXPECT_TRUE(Open(0));

    Choose(Table(0).GetChild(0), "Reset Fields");
    for (const auto& field : Pair(0).Fields().Pairs())
        EXPECT_FALSE(field->IsMatched());

    Choose(Table(1).GetChild(0), "Expand All Tables");
    for (int n = 0; n < 4; ++n)
        EXPECT_TRUE(Open(n)) << n;
    Choose(Table(3).GetChild(0), "Collapse All Tables");
    for (int n = 0; n < 4; ++n)
        EXPECT_FALSE(Open(n)) << n;

    Click(In(1, ".reset_table"));
    EXPECT_EQ(Partner(1), L"-");
    Choose(Table(3).GetChild(0), "Autofill All Tables");  // the "global" menu of an unpaired row
    EXPECT_EQ(Partner(0), L"Customers");
    EXPECT_EQ(Partner(1), L"ORDERS");
    Choose(Table(0).GetChild(0), "Reset All Tables");
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(Partner(n), L"-") << n;
    Click(In(2, ".icon"));
    Choose(Table(3).GetChild(0), "Autofill All Tables");
    const auto [shown, written] = ShownAndWritten();
    EXPECT_EQ(shown, written);
}

// A folded table's rows are laid out only when it opens. Rows written again while their table
// is folded must then be shown as written, and opening and folding again changes nothing the
// user sees or chose.
TEST_F(TablesPageTest, FoldedTablesOpenAsWritten)
{
    Click(In(0, ".icon"));  // Customers open, the others folded
    page->EnsureLayout();
    EXPECT_TRUE(Open(0));
    for (int n = 1; n < 4; ++n)
        EXPECT_FALSE(Open(n)) << n;
    EXPECT_TRUE(FieldRow(0, 1).GetChild(1).IsVisible());
    EXPECT_FALSE(FieldRow(1, 1).GetChild(1).IsVisible());

    // Orders is folded; its key moves to its second field.
    ASSERT_TRUE(Pair(1).Fields().GetPair(0)->IsKey());
    page->RunMenuCommand(L"reset_key", 1, 0);
    page->RunMenuCommand(L"set_key", 1, 1);
    page->EnsureLayout();
    EXPECT_FALSE(Open(1));
    Click(In(1, ".icon"));
    Click(In(1, ".icon"));
    page->EnsureLayout();
    EXPECT_FALSE(Open(1));

    Choose(Table(2).GetChild(0), "Expand All Tables");
    for (int n = 0; n < 4; ++n)
        EXPECT_TRUE(Open(n)) << n;
    page->EnsureLayout();
    const ElementRef keyCell = FieldRow(1, 1).GetChild(0);
    const ElementRef formerKeyCell = FieldRow(1, 0).GetChild(0);
    EXPECT_TRUE(keyCell.IsVisible());
    EXPECT_TRUE(FieldRow(1, 1).GetChild(1).IsVisible());
    EXPECT_NE(keyCell.GetStyleAttribute("background-image"), L"");
    EXPECT_EQ(formerKeyCell.GetStyleAttribute("background-image"), L"");
    const auto [shown, written] = ShownAndWritten();
    EXPECT_EQ(shown, written);
}

TEST_F(TablesPageTest, EachRowGetsItsOwnMenu)
{
    struct Case {
        ElementRef row;
        std::vector<const char*> items;
    };
    const std::vector<const char*> tables = {
        "Collapse All Tables", "Expand All Tables", "Reset Fields",
        "Reset All Tables",    "Autofill",          "Autofill All Tables"};
    std::vector<const char*> context = {"Set key", "Reset key"};
    context.insert(context.end(), tables.begin(), tables.end());
    const std::vector<const char*> global = {"Collapse All Tables", "Expand All Tables",
                                             "Reset All Tables", "Autofill All Tables"};
    page->RunMenuCommand(L"tables_expand", -1, -1);
    page->EnsureLayout();
    for (const Case& c : {Case{FieldRow(0, 1), context}, Case{Table(0).GetChild(0), tables},
                          Case{Table(2).GetChild(0), global}, Case{FieldRow(3, 0), global}}) {
        QMenu* menu = ContextMenu(c.row.GetChild(1));
        ASSERT_NE(menu, nullptr);
        std::vector<std::string> texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                texts.push_back(a->text().toStdString());
        EXPECT_EQ(texts, std::vector<std::string>(c.items.begin(), c.items.end()));
        menu->close();
    }
}

TEST_F(TablesPageTest, AMenuOpenedOnARowThatARebuildReplacedDoesNothing)
{
    page->RunMenuCommand(L"tables_expand", -1, -1);
    QMenu* menu = ContextMenu(FieldRow(0, 1).GetChild(1));
    ASSERT_NE(menu, nullptr);
    // The row is written again (a rebuild leaves the tables and rows that did not change as
    // they are): the cells the menu was opened on go.
    page->RunMenuCommand(L"set_key", 0, 1);
    page->EnsureLayout();
    Item(menu, "Reset key")->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(Pair(0).Fields().GetPair(1)->IsKey());
    EXPECT_EQ(FieldRow(0, 1).GetChild(0).GetAttribute("class"), L"key");
    // A menu on a row the change left alone still acts on it.
    menu = ContextMenu(FieldRow(0, 2).GetChild(1));
    ASSERT_NE(menu, nullptr);
    page->RunMenuCommand(L"reset_key", 0, 1);
    page->EnsureLayout();
    Item(menu, "Set key")->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(Pair(0).Fields().GetPair(2)->IsKey());
    EXPECT_FALSE(Pair(0).Fields().GetPair(1)->IsKey());
}

TEST_F(TablesPageTest, ValidateNamesWhatIsMissing)
{
    // Notes paired by hand has no primary key, so no key field.
    Pairs().SetCounterpart(2, 2);
    EXPECT_FALSE(page->Validate());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].second, L"Select tables and fields");
    EXPECT_EQ(dialogs.boxes[0].first,
              L"Select key fields for the following table(s):\r\n    Notes\r\n\r\n(Use the right "
              L"mouse button  to  open  the\r\ncontext menu on the appropriate field and\r\n"
              L"choose 'Set key')");
    page->RunMenuCommand(L"set_key", 2, 0);
    EXPECT_TRUE(page->Validate());
    EXPECT_TRUE(page->Message().empty());
    EXPECT_EQ(dialogs.boxes.size(), 1u);

    // A key on a field without a partner does not count.
    page->RunMenuCommand(L"reset_key", 0, 0);
    page->RunMenuCommand(L"set_key", 0, 1);
    Pairs().GetPair(0)->Fields().ResetPair(1);
    EXPECT_FALSE(page->Validate());
    EXPECT_NE(page->Message().find(L"\r\n    Customers\r\n"), std::wstring::npos);

    page->RunMenuCommand(L"tables_reset_all", -1, -1);
    EXPECT_FALSE(page->Validate());
    EXPECT_EQ(dialogs.boxes.back().first, L"Select tables and fields to compare.");
}

// Key fields whose two sides the value rule orders alike may pair rows; others are refused
// before anything is compared, naming the table and both fields.
struct KeyKindCase {
    std::wstring ddl1, ddl2;
    int ado1, ado2;
    bool accepted;
};

TEST(TablesPageKeyKindsTest, KeyFieldsOfKindsThatSortDifferentlyAreRefused)
{
    const std::wstring refused = L"    T: k (";
    const KeyKindCase cases[] = {
        {L"LONG", L"TEXT(10)", 3, 202, false},
        {L"DATETIME", L"TEXT(30)", 7, 202, false},
        {L"DOUBLE", L"DATETIME", 5, 7, false},
        {L"BINARY(8)", L"LONG", 204, 3, false},
        {L"LONGBINARY", L"MEMO", 205, 203, false},
        {L"YESNO", L"LONG", 11, 3, false},
        {L"LONG", L"DOUBLE", 3, 5, true},
        {L"CURRENCY", L"DECIMAL(12,4)", 6, 131, true},
        {L"BYTE", L"SINGLE", 17, 4, true},
        {L"TEXT(10)", L"MEMO", 202, 203, true},
        {L"BINARY(8)", L"LONGBINARY", 204, 205, true},
        {L"DATETIME", L"DATETIME", 7, 7, true},
    };
    for (const KeyKindCase& c : cases) {
        SCOPED_TRACE(automation::ToUtf8(c.ddl1 + L" against " + c.ddl2));
        testsupport::TempDir dir;
        const std::wstring path1 = synctest::Path(dir, "one.mdb");
        const std::wstring path2 = synctest::Path(dir, "two.mdb");
        const TableDef t1{L"T", {{L"k", c.ddl1, c.ado1}, {L"v", L"LONG", 3}}, {}, false, {}};
        const TableDef t2{L"T", {{L"k", c.ddl2, c.ado2}, {L"v", L"LONG", 3}}, {}, false, {}};
        synctest::CreateStore(path1, {t1});
        synctest::CreateStore(path2, {t2});
        RecordingDialogs dialogs;
        WizardDialog wizard{dialogs};
        ASSERT_TRUE(wizard.Initialize());
        FakeProgress progress;
        wizard.Context().Source1().Settings().path = path1;
        wizard.Context().Source2().Settings().path = path2;
        ASSERT_TRUE(wizard.Context().Source1().Load(progress));
        ASSERT_TRUE(wizard.Context().Source2().Load(progress));
        auto* page = new TablesPage(wizard.Context());
        page->Create(wizard);
        page->RunMenuCommand(L"set_key", 0, 0);
        EXPECT_EQ(page->Validate(), c.accepted) << automation::ToUtf8(page->Message());
        if (!c.accepted) {
            ASSERT_EQ(dialogs.boxes.size(), 1u);
            EXPECT_EQ(dialogs.boxes[0].second, L"Select tables and fields");
            const std::wstring& text = dialogs.boxes[0].first;
            EXPECT_NE(text.find(L"different kinds"), std::wstring::npos);
            EXPECT_NE(text.find(refused), std::wstring::npos) << automation::ToUtf8(text);
            // A second key field of one kind does not hide the first.
            page->RunMenuCommand(L"set_key", 0, 1);
            EXPECT_FALSE(page->Validate());
            EXPECT_NE(page->Message().find(refused), std::wstring::npos);
            EXPECT_EQ(page->Message().find(L"v (LONG) / v (LONG)"), std::wstring::npos);
            // Without that key field the table goes on.
            page->RunMenuCommand(L"reset_key", 0, 0);
            EXPECT_TRUE(page->Validate());
        }
        page->Destroy();
        QApplication::processEvents();
    }
}

TEST_F(TablesPageTest, APopupClosingAfterThePageWentCallsNothing)
{
    Click(In(2, ".tables_popup_button"));
    const ElementRef popup = In(2, ".tables_popup");
    ASSERT_NE(page->PopupWidget(popup.Handle()), nullptr);
    EXPECT_EQ(htmlui::TheSinglePopupBehavior().DismissCallback(), page);
    page->Destroy();
    page = nullptr;
    EXPECT_EQ(htmlui::TheSinglePopupBehavior().DismissCallback(), nullptr);
    const ElementRef row = popup.FindFirst(".popup_grid").GetChild(2);
    htmlui::TheSinglePopupBehavior().Dismiss(popup, row);  // must reach no page
    QApplication::processEvents();
    EXPECT_FALSE(wizard.Context().PairList()->GetPair(2)->IsMatched());
}

// At 800x600 a type text wraps, if at all, only between its clauses, never inside "NOT NULL" or
// a size, and the rows of a table stay as high as each other where every type fits.
TEST(TablesPageTypesTest, ATypeTextWrapsOnlyBetweenItsClauses)
{
    testsupport::TempDir dir;
    const TableDef typed{L"Typed",
                         {{L"Id", L"LONG", 3},
                          {L"Code", L"TEXT(5) NOT NULL", 202},
                          {L"Amount", L"DECIMAL(18, 2) NOT NULL", 131},
                          {L"Ratio", L"SINGLE NOT NULL DEFAULT 0", 4}},
                         {L"Id"},
                         true,
                         {}};
    const std::wstring path1 = synctest::Path(dir, "one.mdb");
    const std::wstring path2 = synctest::Path(dir, "two.mdb");
    synctest::CreateStore(path1, {typed});
    synctest::CreateStore(path2, {typed});
    RecordingDialogs dialogs;
    WizardDialog wizard{dialogs};
    ASSERT_TRUE(wizard.Initialize());
    wizard.resize(800, 600);
    wizard.show();
    FakeProgress progress;
    wizard.Context().Source1().Settings().path = path1;
    wizard.Context().Source2().Settings().path = path2;
    ASSERT_TRUE(wizard.Context().Source1().Load(progress));
    ASSERT_TRUE(wizard.Context().Source2().Load(progress));
    auto* page = new TablesPage(wizard.Context());
    page->Create(wizard);
    page->RunMenuCommand(L"tables_expand", -1, -1);
    QApplication::processEvents();
    page->EnsureLayout();

    const ElementRef table = page->GetRootElement().FindById("structure").GetChild(0);
    const std::wstring types[] = {L"LONG", L"TEXT(5) NOT\u00A0NULL",
                                  L"DECIMAL(18,\u00A02) NOT\u00A0NULL",
                                  L"SINGLE NOT\u00A0NULL DEFAULT\u00A00"};
    for (unsigned m = 0; m < 4; ++m) {
        const ElementRef row = table.GetChild(m + 1);
        EXPECT_EQ(row.GetChild(2).FindFirst(".field_type").GetInnerText(), types[m]) << m;
        EXPECT_EQ(row.GetChild(5).FindFirst(".field_type").GetInnerText(), types[m]) << m;
    }
    // Database2's "TEXT(5) NOT NULL" fits its column: its row is as high as the "LONG" row.
    const int longRow =
        table.GetChild(1).GetLocation(html::kRootRelative | html::kBorderBox).height();
    const int codeRow =
        table.GetChild(2).GetLocation(html::kRootRelative | html::kBorderBox).height();
    EXPECT_GT(longRow, 0);
    EXPECT_EQ(codeRow, longRow);
    page->Destroy();
    QApplication::processEvents();
}

TEST(MarkupTextTest, NamesAreEscapedAndSplitSurrogatesJoined)
{
    struct Case {
        std::wstring name;
        std::string markup;
    };
    const std::vector<Case> cases = {
        {L"Orders", "Orders"},
        {L"<b>&\"'", "&lt;b&gt;&amp;&quot;'"},
        {std::wstring{wchar_t(0xD834), wchar_t(0xDD1E)} + L"x", "\xF0\x9D\x84\x9Ex"},
        {L"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        std::string out;
        htmlui::AppendName(out, c.name);
        EXPECT_EQ(out, c.markup);
    }
}

}  // namespace
