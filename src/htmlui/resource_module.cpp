// Resource lookup over Qt's resource system.
#include "htmlui/resource_module.h"

#include <QDir>
#include <QFile>
#include <QResource>
#include <atomic>

// Qt's resource initialiser must be called outside any namespace; calling it
// also keeps the pages of the static library linked in.
static void InitHtmlUiPages()
{
    Q_INIT_RESOURCE(htmlui_pages);
}

namespace htmlui {

namespace {

QString FindEntry(const QString& dir, const QString& name)
{
    const QStringList entries = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir + "/" + e;
    return {};
}

}  // namespace

ResourceModule::ResourceModule() : root_(":/res")
{
    static const bool initialised = (InitHtmlUiPages(), true);
    (void)initialised;
}

ResourceModule::ResourceModule(const QString& path)
{
    static std::atomic<int> counter{0};
    const QString mapRoot = QString("/crvmodule%1").arg(++counter);
    if (QResource::registerResource(path, mapRoot)) {
        file_ = path;
        mapRoot_ = mapRoot;
        root_ = ":" + mapRoot + "/res";
    }
}

ResourceModule::~ResourceModule()
{
    if (!file_.isEmpty())
        QResource::unregisterResource(file_, mapRoot_);
}

std::optional<QByteArray> ResourceModule::Find(const std::wstring& name,
                                               const std::wstring& type) const
{
    if (root_.isEmpty())
        return std::nullopt;
    const QString typeDir = FindEntry(root_, QString::fromStdWString(type));
    if (typeDir.isEmpty())
        return std::nullopt;
    const QString path = FindEntry(typeDir, QString::fromStdWString(name));
    if (path.isEmpty())
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

}  // namespace htmlui
