// A cursor's long read of images, as a comparison makes it, for the tests of the reads that go
// on from a table's pages.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/provider/cursor.h"

namespace pagedreads {

struct PagedRead {
    bool pages = false;       // read from the pages at some point
    bool pagesAtEnd = false;  // and still at the end
};

// Every row of the select as images, 16 a call, each handed to `take`. With `allowPages` the
// cursor goes on from the pages for as long as `*holds` (throughout, without it); `during(row)`
// runs before each call with the number of rows taken so far. What the cursor throws, it throws,
// `out` then saying how the rows before it were read.
inline void ReadEveryImage(sqlite3* db, const provider::EmittedSelect& select, bool allowPages,
                           const std::function<void(size_t)>& during, const bool* holds,
                           const std::function<void(const provider::RowImage&)>& take,
                           PagedRead& out)
{
    using provider::RowImage;
    provider::Cursor cursor(db, select, {});
    if (allowPages)
        cursor.ReadPagesWhile([holds] { return !holds || *holds; });
    std::vector<RowImage::Kind> kinds;
    for (size_t i = 0; i < select.columns.size(); ++i)
        kinds.push_back(cursor.ImageKind(i));
    if (!cursor.MoveTo(0))
        return;
    std::vector<RowImage> batch(16);
    std::vector<RowImage*> pointers;
    for (RowImage& image : batch)
        pointers.push_back(&image);
    size_t rows = 0;
    while (!cursor.AtEnd()) {
        if (during)
            during(rows);
        size_t taken = 0;
        cursor.TakeImagesAndMoveNext(pointers.data(), pointers.size(), kinds.data(), taken);
        for (size_t i = 0; i < taken; ++i)
            take(batch[i]);
        rows += taken;
        out.pages = out.pages || cursor.ReadingPages();
        out.pagesAtEnd = cursor.ReadingPages();
    }
}

}  // namespace pagedreads
