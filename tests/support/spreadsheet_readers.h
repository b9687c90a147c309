// Two readers of .xls files that are not ours, for the tests of the workbook files: xlrd (with
// its formatting information) and LibreOffice converting the file headless. Each says when it
// is not installed, so a test can skip.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace testsupport {

struct XlsCell {
    int type = 0;  // xlrd's cell type: 1 text, 6 blank
    std::string text;
    std::string fill;  // palette index of the solid fill, "-" for none
    int bold = 0;
    std::string borders;  // style:colour for left,top,bottom,right
    int alignment = 0;    // 0 general, 1 left, 2 centre, 3 right
    int wrap = 0;
};

struct XlsBook {
    std::string error;  // xlrd's complaint, when it could not read the file
    std::vector<std::string> sheets;
    std::map<std::tuple<int, int, int>, XlsCell> cells;  // (sheet, row, column), 0-based
    std::vector<std::array<int, 5>> merges;              // sheet, rows, columns (end exclusive)
    std::map<int, std::string> palette;                  // the file's
    std::map<int, std::string> standardPalette;          // xlrd's own
    std::map<std::pair<int, int>, int> widths;           // (sheet, column)
    // (sheet, row) of the rows with a row record: the height in twips, and 1 when it is set by
    // hand (a reader keeps it).
    std::map<std::pair<int, int>, std::pair<int, int>> heights;

    const XlsCell* Cell(int sheet, int row, int column) const
    {
        auto it = cells.find({sheet, row, column});
        return it == cells.end() ? nullptr : &it->second;
    }
};

inline std::string RunCommand(const std::string& command, int* status = nullptr)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[8192];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        const int rc = pclose(pipe);
        if (status)
            *status = rc;
    }
    return out;
}

inline std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Debian's xlrd lives with Debian's python.
inline bool HaveXlrd()
{
    return std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") == 0;
}

inline std::string Unhex(const std::string& hex)
{
    if (hex == "-")
        return std::string();
    std::string text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

inline XlsBook ReadXls(const std::filesystem::path& file)
{
    XlsBook book;
    int status = 0;
    const std::string out = RunCommand(
        "/usr/bin/python3 " CRV_TESTS_DIR "/support/read_xls.py " + Quoted(file.string()) + " 2>&1",
        &status);
    if (status != 0) {
        book.error = out.empty() ? "xlrd failed" : out;
        return book;
    }
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "P" || kind == "D") {
            int index;
            std::string rgb;
            in >> index >> rgb;
            (kind == "P" ? book.palette : book.standardPalette)[index] = rgb;
        } else if (kind == "S") {
            int sheet, rows, columns;
            std::string name;
            in >> sheet >> name >> rows >> columns;
            book.sheets.push_back(Unhex(name));
        } else if (kind == "C") {
            int sheet, row, column;
            XlsCell cell;
            std::string text;
            in >> sheet >> row >> column >> cell.type >> text >> cell.fill >> cell.bold >>
                cell.borders >> cell.alignment >> cell.wrap;
            cell.text = Unhex(text);
            book.cells[{sheet, row, column}] = cell;
        } else if (kind == "M") {
            std::array<int, 5> merge{};
            in >> merge[0] >> merge[1] >> merge[2] >> merge[3] >> merge[4];
            book.merges.push_back(merge);
        } else if (kind == "W") {
            int sheet, column, width;
            in >> sheet >> column >> width;
            book.widths[{sheet, column}] = width;
        } else if (kind == "H") {
            int sheet, row, height, custom;
            in >> sheet >> row >> height >> custom;
            book.heights[{sheet, row}] = {height, custom};
        } else {
            book.error += line + "\n";
        }
    }
    return book;
}

inline bool HaveLibreOffice()
{
    return std::system("command -v soffice >/dev/null 2>&1") == 0;
}

// Converts `file` with LibreOffice headless into `format` ("csv", "xlsx", "pdf") in `outDir`,
// with a profile of its own there so that no other instance or setting is touched, and at most
// two minutes. Returns LibreOffice's output; `converted` gets the new file's path.
inline std::string ConvertWithLibreOffice(const std::filesystem::path& file,
                                          const std::string& format,
                                          const std::filesystem::path& outDir,
                                          std::filesystem::path& converted, int* status = nullptr)
{
    const std::filesystem::path profile = outDir / "lo-profile";
    const std::string command =
        "timeout 120 soffice -env:UserInstallation=file://" + profile.string() +
        " --headless --norestore --nolockcheck --convert-to " + Quoted(format) + " --outdir " +
        Quoted(outDir.string()) + " " + Quoted(file.string()) + " 2>&1";
    converted = outDir / (file.stem().string() + "." + format.substr(0, format.find(':')));
    return RunCommand(command, status);
}

}  // namespace testsupport
