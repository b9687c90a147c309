# Prints what xlrd reads from an .xls file, one line per fact, texts as hex of their UTF-8:
#   P index r,g,b     the file's palette          D index r,g,b   xlrd's own standard palette
#   S sheet name rows columns
#   C sheet row column type text fill bold borders alignment wrap
#     fill: the solid fill's palette index or "-"; borders: style:colour for left,top,bottom,right
#   M sheet firstRow endRow firstColumn endColumn (end exclusive)
#   W sheet column width
#   H sheet row height custom  (rows with a row record; height in twips, custom 1 when set by hand)
import sys

import xlrd
import xlrd.formatting


def hexed(text):
    return text.encode("utf-8").hex() or "-"


book = xlrd.open_workbook(sys.argv[1], formatting_info=True, ragged_rows=True)
for index, rgb in sorted(book.colour_map.items()):
    if rgb is not None and 8 <= index < 64:
        print("P", index, "%d,%d,%d" % rgb)
for offset, rgb in enumerate(xlrd.formatting.excel_default_palette_b8):
    print("D", offset + 8, "%d,%d,%d" % rgb)
for si, sheet in enumerate(book.sheets()):
    print("S", si, hexed(sheet.name), sheet.nrows, sheet.ncols)
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            bg = xf.background
            fill = str(bg.pattern_colour_index) if bg.fill_pattern == 1 else "-"
            b = xf.border
            borders = "%d:%d,%d:%d,%d:%d,%d:%d" % (
                b.left_line_style, b.left_colour_index, b.top_line_style, b.top_colour_index,
                b.bottom_line_style, b.bottom_colour_index, b.right_line_style,
                b.right_colour_index)
            text = cell.value if cell.ctype == xlrd.XL_CELL_TEXT else ""
            print("C", si, r, c, cell.ctype, hexed(text), fill, font.bold, borders,
                  xf.alignment.hor_align, xf.alignment.text_wrapped)
    for rlo, rhi, clo, chi in sheet.merged_cells:
        print("M", si, rlo, rhi, clo, chi)
    for column, info in sorted(sheet.colinfo_map.items()):
        print("W", si, column, info.width)
    for row, info in sorted(sheet.rowinfo_map.items()):
        print("H", si, row, info.height, int(info.height_mismatch and not info.has_default_height))
