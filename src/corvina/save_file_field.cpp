#include "corvina/save_file_field.h"

#include <sys/stat.h>

#include <QDir>
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

// The file a path names once every symbolic link on the way is followed: the resolved folder and
// the name, whether the file exists or not (a link that leads nowhere yet is followed to where
// writing would create the file).
QString Resolved(const std::wstring& path)
{
    QFileInfo info(QString::fromStdWString(path));
    for (int links = 0; links < 40 && info.isSymLink(); ++links) {
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        info = QFileInfo(target);
    }
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
}

// The database's own file and the files made beside it: SQLite's log, shared-memory and journal
// files (the whole name followed by -wal, -shm or -journal), its lock file (the extension
// replaced by .ldb, or .laccdb for .accdb) and the backups of the direct synchronisation (the
// whole name followed by a time stamp and .bkp).
bool BelongsToDatabase(const QString& file, const std::wstring& database)
{
    if (database.empty())
        return false;
    const QString db = Resolved(database);
    if (file == db)
        return true;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (file == db + QLatin1String(suffix))
            return true;
    const QFileInfo info(db);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    if (file == stem + QStringLiteral(".ldb") || file == stem + QStringLiteral(".laccdb") ||
        file == db + QStringLiteral(".ldb"))
        return true;
    return file.startsWith(db + QLatin1Char('.')) && file.endsWith(QStringLiteral(".bkp"));
}

// Whether an existing file at path is, by another name (a hard link), the database or one of
// the files SQLite keeps beside it.
bool LinksToDatabase(const struct stat& file, const std::wstring& database)
{
    if (database.empty())
        return false;
    const std::string db = Resolved(database).toStdString();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        struct stat other {};
        if (::stat((db + suffix).c_str(), &other) == 0 && other.st_dev == file.st_dev &&
            other.st_ino == file.st_ino)
            return true;
    }
    return false;
}

}  // namespace

bool NamesDatabaseFile(const std::wstring& path, const ComparisonContext& context)
{
    const std::wstring& database1 = context.Source1().Settings().path;
    const std::wstring& database2 = context.Source2().Settings().path;
    const QString file = Resolved(path);
    if (BelongsToDatabase(file, database1) || BelongsToDatabase(file, database2))
        return true;
    struct stat info {};
    if (::stat(file.toStdString().c_str(), &info) == 0 &&
        (LinksToDatabase(info, database1) || LinksToDatabase(info, database2)))
        return true;
    // SQLite names its log, shared-memory and journal files after the name a database is opened
    // by, so those of another name (a hard link) of either database are theirs as well, whether
    // they exist yet or not.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QLatin1String ending(suffix);
        if (!file.endsWith(ending))
            continue;
        const std::string stem = file.chopped(ending.size()).toStdString();
        if (::stat(stem.c_str(), &info) == 0 &&
            (LinksToDatabase(info, database1) || LinksToDatabase(info, database2)))
            return true;
    }
    return false;
}
