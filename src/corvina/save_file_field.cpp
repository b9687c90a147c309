#include "corvina/save_file_field.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "compare/comparison_context.h"

SaveFileField::SaveFileField(ui::FrameDialogs& dialogs, std::vector<ui::FileFilter> filters,
                             std::wstring extension, QWidget* parent)
    : QWidget(parent),
      dialogs_(dialogs),
      filters_(std::move(filters)),
      extension_(std::move(extension)),
      edit_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("..."), this))
{
    browse_->setAutoDefault(false);
    browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edit_, 1);
    row->addWidget(browse_);
    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
}

std::wstring SaveFileField::Path() const
{
    return edit_->text().toStdWString();
}

std::wstring SaveFileField::WithExtension(const std::wstring& path, int filterIndex,
                                          const std::wstring& extension)
{
    const std::size_t slash = path.find_last_of(L'/');
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (filterIndex == 0 && name.find(L'.') == std::wstring::npos)
        return path + extension;
    return path;
}

void SaveFileField::Browse()
{
    std::wstring chosen;
    int filterIndex = 0;
    if (dialogs_.GetSaveFileName(window(), filters_, chosen, filterIndex))
        edit_->setText(QString::fromStdWString(WithExtension(chosen, filterIndex, extension_)));
}

namespace {

QString Absolute(const std::wstring& path)
{
    const QFileInfo info(QString::fromStdWString(path));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// The database's own file and the files made beside it: its lock file (the extension replaced
// by .ldb, or .laccdb for .accdb) and the backups of the direct synchronisation (the whole name
// followed by a time stamp and .bkp).
bool BelongsToDatabase(const QString& file, const std::wstring& database)
{
    if (database.empty())
        return false;
    const QString db = Absolute(database);
    if (file == db)
        return true;
    const QFileInfo info(db);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    if (file == stem + QStringLiteral(".ldb") || file == stem + QStringLiteral(".laccdb") ||
        file == db + QStringLiteral(".ldb"))
        return true;
    return file.startsWith(db + QLatin1Char('.')) && file.endsWith(QStringLiteral(".bkp"));
}

}  // namespace

bool NamesDatabaseFile(const std::wstring& path, const ComparisonContext& context)
{
    const QString file = Absolute(path);
    return BelongsToDatabase(file, context.Source1().Settings().path) ||
           BelongsToDatabase(file, context.Source2().Settings().path);
}
