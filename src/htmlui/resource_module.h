// Resources compiled into the program (or into a separate resource file) by
// name and type, looked up without regard to case. A resource named NAME of
// type TYPE lives at "<root>/TYPE/NAME" (a .qrc prefix "/res/TYPE" with the
// file aliased to NAME); HTML pages and style sheets use the type "HTML" and
// numbered pages their number as name, so "res:logo.png" is "/res/PNG/LOGO"
// and page 214 is "/res/HTML/214". A static library that brings its own .qrc
// must call Q_INIT_RESOURCE for it, or the linker leaves it out.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

namespace htmlui {

class ResourceModule {
public:
    // The program's own resources.
    ResourceModule();
    // A resource file (made by rcc) loaded for data only; IsLoaded tells
    // whether it could be.
    explicit ResourceModule(const QString& path);
    ~ResourceModule();
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    bool IsLoaded() const { return !root_.isEmpty(); }
    // The bytes of the resource (possibly none), or nothing when missing.
    std::optional<QByteArray> Find(const std::wstring& name, const std::wstring& type) const;

private:
    QString root_;
    QString file_;
    QString mapRoot_;
};

}  // namespace htmlui
