#include "platform/ui/registry_settings.h"

#include <QSettings>
#include <QStringList>

namespace ui {
namespace {

// "SOFTWARE\\Company\\Product" is organisation "Company", application "Product";
// a key with one name below SOFTWARE uses that name for both. The settings file
// is then $XDG_CONFIG_HOME/Company/Product.conf.
struct SettingsName {
    QString organisation;
    QString application;
};

SettingsName NameOf(const std::wstring& key)
{
    QStringList parts = QString::fromStdWString(key).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() &&
        parts.front().compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    if (parts.isEmpty())
        return {QStringLiteral("Default"), QStringLiteral("Default")};
    const QString organisation = parts.takeFirst();
    return {organisation, parts.isEmpty() ? organisation : parts.join(QLatin1Char('/'))};
}

}  // namespace

uint32_t ReadRegistryDword(const std::wstring& key, const std::wstring& valueName,
                           uint32_t defaultValue)
{
    const SettingsName name = NameOf(key);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, name.organisation,
                       name.application);
    const QVariant value = settings.value(QString::fromStdWString(valueName));
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < 0 || number > 0xFFFFFFFFLL)
        return defaultValue;
    return static_cast<uint32_t>(number);
}

bool WriteRegistryDword(const std::wstring& key, const std::wstring& valueName, uint32_t value)
{
    const SettingsName name = NameOf(key);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, name.organisation,
                       name.application);
    settings.setValue(QString::fromStdWString(valueName), static_cast<qlonglong>(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace ui
