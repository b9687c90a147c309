// The provider and data-source part of a connection string, chosen by the
// database path: ".accdb" at the end (without regard to case or trailing
// blanks) takes the ACE provider, everything else Jet 4.0.
#pragma once

#include <string>

class ProviderPrefix {
public:
    explicit ProviderPrefix(const std::wstring& path);

    bool IsAce() const { return ace_; }
    // The provider text followed by the path exactly as given: in its own case and
    // untrimmed, quoted where it holds a ';' or a quote or starts or ends with a blank, so
    // that the provider reads the path and nothing else from it.
    const std::wstring& Text() const { return text_; }

private:
    bool ace_ = false;
    std::wstring text_;
};

// The provider prefix of a path (the text of ProviderPrefix).
std::wstring build_connection_string(const std::wstring& path, bool* ace = nullptr);

// The string with which an empty database file is created: the provider
// prefix alone, with no password, workgroup or user.
std::wstring CreationString(const std::wstring& path);
