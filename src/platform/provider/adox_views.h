// ADOX's Views and Procedures: the stored queries of the native store, each
// with an ADODB.Command holding its text (and, for procedures, the
// parameters its "PARAMETERS ...;" part declares).
#pragma once

#include <string>

#include "platform/automation/object.h"
#include "platform/provider/adox_collection.h"

namespace provider::adodb {
class Command;
class Connection;
}  // namespace provider::adodb

namespace provider::adox {

class View : public automation::Object {
public:
    View(std::wstring name, automation::Ptr<adodb::Command> command)
        : name_(std::move(name)), command_(std::move(command))
    {
    }
    const std::wstring& Name() const { return name_; }
    const automation::Ptr<adodb::Command>& Command() const { return command_; }

private:
    std::wstring name_;
    automation::Ptr<adodb::Command> command_;
};

// Views (kind "VIEW") or Procedures (kind "PROCEDURE") of one catalog.
class Views : public Collection<View> {
public:
    Views(automation::Ptr<adodb::Connection> connection, const wchar_t* kind)
        : connection_(std::move(connection)), kind_(kind)
    {
    }
    // Stores the command's text under `name`; the text must be a statement
    // (a SELECT for a view).
    void Append(const std::wstring& name, const automation::Ptr<adodb::Command>& command);
    void Refresh();

private:
    automation::Ptr<adodb::Connection> connection_;
    const wchar_t* kind_;
};

// The command of a stored query's text, with its declared parameters.
automation::Ptr<adodb::Command> StoredCommand(const std::wstring& text);

}  // namespace provider::adox
