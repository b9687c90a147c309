// How a path is shortened to fit: the folder gives way first, the file name stays whole as long
// as it fits by itself, and only then is the name cut, in its middle, keeping its extension.
#include "corvina/path_label.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

namespace {

TEST(PathLabelTest, ShortensTheFolderFirstAndKeepsTheFileName)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QChar ellipsis(0x2026);
    const QString folder = QStringLiteral("/home/anna/projects/northern region/archive 2026/");
    struct Case {
        QString path;
        int widthInNames;  // the width, in widths of the file name
        bool whole;        // the path is shown unchanged
        bool nameWhole;    // the file name is shown whole at the end
        bool marked;       // an ellipsis shows where something was left out
    };
    const QString name = QStringLiteral("orders.mdb");
    const Case cases[] = {
        {folder + name, 20, true, true, false},
        {folder + name, 3, false, true, true},
        // The name fits, but leaves no room for an ellipsis: the name is what matters.
        {folder + name, 1, false, true, false},
        {name, 1, true, true, false},
        {QStringLiteral("orders of the northern region.mdb"), 1, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " in " + std::to_string(c.widthInNames));
        const int width = metrics.horizontalAdvance(name) * c.widthInNames;
        const QString shown = PathLabel::Shorten(c.path, metrics, width);
        EXPECT_LE(metrics.horizontalAdvance(shown), width);
        EXPECT_EQ(shown == c.path, c.whole) << shown.toStdString();
        if (c.nameWhole) {
            EXPECT_TRUE(shown.endsWith(name)) << shown.toStdString();
        }
        EXPECT_EQ(shown.contains(ellipsis), c.marked) << shown.toStdString();
    }
    // A name too long by itself keeps its start and its extension.
    const QString cut =
        PathLabel::Shorten(folder + "orders of the northern region.mdb", metrics,
                           metrics.horizontalAdvance(QStringLiteral("orders of the n.mdb")));
    EXPECT_TRUE(cut.startsWith(QStringLiteral("orders"))) << cut.toStdString();
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".mdb"))) << cut.toStdString();
}

}  // namespace
