#include "output/html_report_pieces.h"

namespace report_pieces {
namespace {

// The colours of the record kinds are the ones the comparison program shows them in; the
// rest is chosen to read well on screen and on paper (print keeps the backgrounds, rows are
// not split over pages, links lose their underline).
constexpr const wchar_t* kHeadText =
    LR"(<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8" />
<title>Comparison report</title>
<style type="text/css">
body { font-family: "Segoe UI", "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 10pt;
       color: #1E1E1E; background: #FFFFFF; margin: 18px 24px; }
b { font-weight: bold; }
a { color: #0000C8; text-decoration: none; }
a:hover { text-decoration: underline; }
table.table_list, table.table_data { border-collapse: collapse; border: 1px solid #9D9D9D;
       margin: 6px 0 14px 0; }
table.table_list td, table.table_data td { border: 1px solid #9D9D9D; padding: 3px 8px;
       vertical-align: top; text-align: left; }
table.table_list tr:first-child td, table.table_data tr:first-child td {
       background: #E8E8E8; font-weight: bold; vertical-align: bottom; }
table.table_list td:last-child { text-align: right; }
table.table_list tr:first-child td:last-child { text-align: left; }
.db { font-size: 8pt; color: #0000C8; font-weight: normal; }
tr.t1 td { background: #F2F2FF; }
tr.t2 td { background: #FFFF7F; }
tr.c1 td, tr.c2 td { background: #A3CCAF; }
table.table_data tr.c1 td { border-top: 2px solid #FFFFFF; }
table.table_data td.cc1 { background: #BAE0C5; color: #0000C8; }
table.table_data td.cc2 { background: #BAE0C5; color: #000096; }
.legend { display: inline-block; border: 1px solid #9D9D9D; padding: 6px 12px 8px 12px;
       margin: 4px 0 10px 0; }
.legend_title { font-weight: bold; letter-spacing: 2px; margin-bottom: 4px; }
table.legend_table { border-collapse: collapse; }
table.legend_table td { padding: 2px 8px 2px 0; vertical-align: middle; }
table.legend_table td.legend_sample { width: 28px; height: 14px; padding: 0;
       border: 1px solid #9D9D9D; }
td.legend_equal { background: #FFFFFF; }
td.legend_first { background: #F2F2FF; }
td.legend_second { background: #FFFF7F; }
td.legend_modified { background: #A3CCAF; }
table.legend_table td.legend_text { padding-left: 8px; }
@media print {
  body { margin: 0; font-size: 8pt; -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  table.table_list td, table.table_data td { padding: 1px 4px; }
  tr { page-break-inside: avoid; break-inside: avoid; }
  a { color: #1E1E1E; }
  .db { color: #1E1E1E; }
}
</style>
</head>
<body>
)";

constexpr const wchar_t* kLegendText =
    LR"(<div class="legend">
<div class="legend_title">LEGEND</div>
<table class="legend_table" cellspacing="0" cellpadding="0">
<tr><td class="legend_sample legend_equal"></td><td class="legend_text">equal records</td></tr>
<tr><td class="legend_sample legend_first"></td><td class="legend_text">records only from Database1</td></tr>
<tr><td class="legend_sample legend_second"></td><td class="legend_text">records only from Database2</td></tr>
<tr><td class="legend_sample legend_modified"></td><td class="legend_text">modified records (first row is from Database1,<br /> second row is from Database2)</td></tr>
</table>
</div>
)";

constexpr const wchar_t* kEndText = L"</body>\r\n</html>\r\n";

}  // namespace

const std::wstring& Piece(int id)
{
    static const std::wstring head(kHeadText), legend(kLegendText), end(kEndText), none;
    switch (id) {
        case kHead:
            return head;
        case kLegend:
            return legend;
        case kEnd:
            return end;
        default:
            return none;
    }
}

}  // namespace report_pieces
