#include "compare/registry_settings.h"

#include <QSettings>
#include <QString>

namespace {

QString ApplicationOf(const std::wstring& key)
{
    const size_t slash = key.find_last_of(L'\\');
    return QString::fromStdWString(slash == std::wstring::npos ? key : key.substr(slash + 1));
}

}  // namespace

std::optional<uint32_t> ReadRegistryDword(const std::wstring& key, const std::wstring& name)
{
    const QString application = ApplicationOf(key);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application, application);
    const QVariant value = settings.value(QString::fromStdWString(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qulonglong number = value.toULongLong(&ok);
    if (!ok || number > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(number);
}

bool WriteRegistryDword(const std::wstring& key, const std::wstring& name, uint32_t value)
{
    const QString application = ApplicationOf(key);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, application, application);
    settings.setValue(QString::fromStdWString(name), static_cast<qulonglong>(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}
