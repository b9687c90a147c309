// Forward reads of a single-table select by stretches on several threads.
#include "platform/provider/range_scan.h"

#include <sched.h>
#include <sqlite3.h>

#include <cmath>
#include <fstream>
#include <new>
#include <thread>

#include "platform/provider/query_emitter.h"
#include "platform/provider/sql_functions.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

namespace {

// Stretches read or being read beyond the one the consumer takes next.
size_t Ahead(size_t readers)
{
    return readers + 2;
}

std::string Placeholders(size_t first, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += (i ? ", ?" : "?") + std::to_string(first + i);
    return text;
}

// A connection of a scan's own, for reading only. Its page cache is small: a reader
// passes each page of its stretch once, and the file's pages stay in the system's
// cache anyway.
sqlite3* OpenForReading(const std::string& file, CounterState& counter)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA cache_size = -1024; PRAGMA mmap_size = 0;", nullptr, nullptr, nullptr);
    RegisterSqlFunctions(db, &counter);
    return db;
}

// How SQLite reads `sql`: each step of its plan.
std::vector<std::string> Plan(sqlite3* db, const std::string& sql)
{
    Statement plan(db, "EXPLAIN QUERY PLAN " + sql);
    std::vector<std::string> steps;
    while (plan.Step())
        steps.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(plan.get(), 3)));
    return steps;
}

bool PlanHas(const std::vector<std::string>& plan, const char* words)
{
    for (const std::string& step : plan)
        if (step.find(words) != std::string::npos)
            return true;
    return false;
}

}  // namespace

// The ordering terms of one row, which bound the stretches before and after it.
struct RangeScan::Bound {
    std::vector<sqlite3_value*> values;

    static std::shared_ptr<Bound> Of(sqlite3_stmt* stmt, size_t terms)
    {
        auto bound = std::make_shared<Bound>();
        for (size_t i = 0; i < terms; ++i) {
            sqlite3_value* copy = sqlite3_value_dup(sqlite3_column_value(stmt, int(i)));
            if (!copy)
                throw std::bad_alloc();
            bound->values.push_back(copy);
        }
        return bound;
    }
    void BindTo(sqlite3_stmt* stmt, int first) const
    {
        for (size_t i = 0; i < values.size(); ++i)
            sqlite3_bind_value(stmt, first + int(i), values[i]);
    }
    ~Bound()
    {
        for (sqlite3_value* value : values)
            sqlite3_value_free(value);
    }
};

struct RangeScan::Stretch {
    std::shared_ptr<Bound> lower;  // the rows after it
    std::shared_ptr<Bound> upper;  // up to it; null: to the end
    std::vector<int64_t> rowids;   // the scout's
    std::vector<RowImage> images;  // read: the first `count`
    std::vector<int64_t> read;     // their rowids
    bool bounded = false;          // rows are those between the bounds (rowids empty)
    size_t count = 0;
    bool ready = false;
    std::exception_ptr error;
};

struct RangeScan::Reader {
    sqlite3* db = nullptr;
    std::unique_ptr<Statement> bounded;  // a stretch up to its upper bound
    std::unique_ptr<Statement> open;     // the last stretch, to the end
    std::unique_ptr<Statement> lookup;   // a row by its rowid

    ~Reader()
    {
        bounded.reset();
        open.reset();
        lookup.reset();
        sqlite3_close_v2(db);
    }
};

unsigned RangeScan::UsableCores()
{
    unsigned cores = std::thread::hardware_concurrency();
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        cores = unsigned(CPU_COUNT(&set));
    // "max 100000", or the microseconds of processor time per period: "200000 100000".
    std::ifstream limit("/sys/fs/cgroup/cpu.max");
    std::string quota;
    double period = 0;
    if (limit >> quota >> period && quota != "max" && period > 0) {
        const double share = std::ceil(std::atof(quota.c_str()) / period);
        if (share >= 1 && share < cores)
            cores = unsigned(share);
    }
    return cores;
}

std::unique_ptr<RangeScan> RangeScan::Start(const std::string& file, const EmittedSelect& select,
                                            int64_t afterRowid, Decoder decode, unsigned readers,
                                            bool& later)
{
    later = false;
    if (select.orderTerms.empty() || readers == 0)
        return nullptr;
    std::unique_ptr<RangeScan> scan(new RangeScan);
    scan->decode_ = std::move(decode);
    const size_t m = select.orderTerms.size();
    scan->terms_ = m;
    std::string keys;
    for (const std::string& term : select.orderTerms)
        keys += (keys.empty() ? "" : ", ") + term;
    const std::string after = " WHERE (" + keys + ") > (" + Placeholders(1, m) + ")";
    const std::string order = " ORDER BY " + keys;
    const std::string rows = "SELECT " + select.rangeItems + select.rangeFrom;
    const std::string bounded =
        rows + after + " AND (" + keys + ") <= (" + Placeholders(m + 1, m) + ")" + order;
    try {
        scan->scoutDb_ = OpenForReading(file, scan->counter_);
        if (!scan->scoutDb_)
            return nullptr;
        // Where the read goes on from.
        Statement from(scan->scoutDb_, "SELECT " + keys + select.rangeFrom + " WHERE " +
                                           select.orderTerms.back() + " = ?1");
        if (from.Bind(1, afterRowid).Step())
            scan->start_ = Bound::Of(from.get(), m);
        if (!scan->start_)
            return nullptr;
        for (sqlite3_value* value : scan->start_->values) {
            if (sqlite3_value_type(value) == SQLITE_NULL) {
                later = true;
                return nullptr;
            }
        }
        // The scout must find the terms in an index alone, or walk a table ordered by its
        // rowid key (stepping rowids reads no record), and a stretch must be found by its
        // bounds rather than by reading and sorting the table.
        const std::string scout = "SELECT " + keys + select.rangeFrom + after + order;
        const auto scoutPlan = Plan(scan->scoutDb_, scout);
        if ((!PlanHas(scoutPlan, "COVERING INDEX") && !PlanHas(scoutPlan, "INTEGER PRIMARY KEY")) ||
            PlanHas(scoutPlan, "TEMP B-TREE"))
            return nullptr;
        const auto plan = Plan(scan->scoutDb_, bounded);
        if (PlanHas(plan, "TEMP B-TREE") || !PlanHas(plan, "SEARCH"))
            return nullptr;
        // In rowid order the bound of a stretch is found by skipping its rows in SQLite
        // alone, not by stepping every row out of it.
        scan->skipping_ = !PlanHas(scoutPlan, "COVERING INDEX");
        scan->scout_ = std::make_unique<Statement>(
            scan->scoutDb_,
            scan->skipping_ ? scout + " LIMIT 1 OFFSET " + std::to_string(kStretch - 1) : scout);
        scan->start_->BindTo(scan->scout_->get(), 1);
        for (unsigned i = 0; i < readers; ++i) {
            auto reader = std::make_unique<Reader>();
            reader->db = OpenForReading(file, scan->counter_);
            if (!reader->db)
                return nullptr;
            reader->bounded = std::make_unique<Statement>(reader->db, bounded);
            reader->open = std::make_unique<Statement>(reader->db, rows + after + order);
            reader->lookup = std::make_unique<Statement>(
                reader->db, rows + " WHERE " + select.orderTerms.back() + " = ?1");
            scan->readers_.push_back(std::move(reader));
        }
    } catch (...) {
        return nullptr;
    }
    scan->threads_.emplace_back([s = scan.get()] { s->Scout(); });
    for (auto& reader : scan->readers_)
        scan->threads_.emplace_back([s = scan.get(), r = reader.get()] { s->Read(*r); });
    return scan;
}

RangeScan::~RangeScan()
{
    Stop();
    scout_.reset();
    readers_.clear();
    sqlite3_close_v2(scoutDb_);
}

void RangeScan::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
}

void RangeScan::Scout()
{
    const size_t ahead = Ahead(readers_.size()) + readers_.size();
    std::vector<int64_t> rowids;
    // Hands the rows found so far over as a stretch; false when the scan stops.
    auto hand = [&](std::shared_ptr<Bound> lower, std::shared_ptr<Bound> upper) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || made_ - firstIndex_ < ahead; });
        if (stop_)
            return false;
        std::unique_ptr<Stretch> stretch;
        if (spare_.empty()) {
            stretch = std::make_unique<Stretch>();
        } else {
            stretch = std::move(spare_.back());
            spare_.pop_back();
        }
        stretch->lower = std::move(lower);
        stretch->upper = std::move(upper);
        stretch->rowids.swap(rowids);
        rowids.clear();
        stretch->bounded = skipping_;
        stretch->count = 0;
        stretch->ready = false;
        stretch->error = nullptr;
        stretches_.push_back(std::move(stretch));
        ++made_;
        lock.unlock();
        changed_.notify_all();
        return true;
    };
    try {
        std::shared_ptr<Bound> lower = start_;
        bool stopped = false;
        while (skipping_ && !stopped) {
            if (!scout_->Step()) {
                hand(lower, nullptr);
                break;
            }
            auto upper = Bound::Of(scout_->get(), terms_);
            scout_->Reset();
            upper->BindTo(scout_->get(), 1);
            stopped = !hand(lower, upper);
            lower = std::move(upper);
        }
        while (!skipping_ && !stopped) {
            if (!scout_->Step()) {
                if (!rowids.empty())
                    hand(lower, nullptr);
                break;
            }
            rowids.push_back(scout_->Int64(int(terms_ - 1)));
            if (rowids.size() == kStretch) {
                auto upper = Bound::Of(scout_->get(), terms_);
                stopped = !hand(lower, upper);
                lower = std::move(upper);
            }
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        scoutError_ = std::current_exception();
    }
    scout_->Reset();  // lets go of the scout's read transaction
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scoutDone_ = true;
    }
    changed_.notify_all();
}

void RangeScan::Read(Reader& reader)
{
    const size_t ahead = Ahead(readers_.size());
    for (;;) {
        Stretch* stretch = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] {
                return stop_ || (claimed_ < made_ && claimed_ < firstIndex_ + ahead) ||
                       (scoutDone_ && claimed_ == made_);
            });
            if (stop_ || claimed_ == made_)
                return;
            stretch = stretches_[claimed_ - firstIndex_].get();
            ++claimed_;
        }
        try {
            Fill(reader, *stretch);
        } catch (...) {
            reader.bounded->Reset();
            reader.open->Reset();
            reader.lookup->Reset();
            stretch->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stretch->ready = true;
        }
        changed_.notify_all();
    }
}

void RangeScan::Fill(Reader& reader, Stretch& stretch)
{
    const std::vector<int64_t>& rowids = stretch.rowids;
    if (stretch.images.size() < rowids.size())
        stretch.images.resize(rowids.size());
    Statement& rows = stretch.upper ? *reader.bounded : *reader.open;
    stretch.lower->BindTo(rows.get(), 1);
    if (stretch.upper)
        stretch.upper->BindTo(rows.get(), int(terms_) + 1);
    const int rowidColumn = sqlite3_column_count(rows.get()) - 1;
    size_t n = 0;
    if (stretch.bounded) {
        stretch.read.clear();
        while (rows.Step()) {
            if (stretch.images.size() == n)
                stretch.images.emplace_back();
            decode_(rows.get(), stretch.images[n++]);
            stretch.read.push_back(rows.Int64(rowidColumn));
        }
        rows.Reset();
        stretch.count = n;
        return;
    }
    bool same = true;
    while (rows.Step()) {
        if (n == rowids.size() || rows.Int64(rowidColumn) != rowids[n]) {
            same = false;
            break;
        }
        decode_(rows.get(), stretch.images[n++]);
    }
    rows.Reset();
    if (same && n == rowids.size()) {
        stretch.read = rowids;
        stretch.count = n;
        return;
    }
    // Other rows between the bounds than the scout's: the scout's rows by their rowids.
    stretch.read.clear();
    n = 0;
    Statement& lookup = *reader.lookup;
    for (const int64_t rowid : rowids) {
        if (lookup.Bind(1, rowid).Step()) {
            decode_(lookup.get(), stretch.images[n++]);
            stretch.read.push_back(rowid);
        }
        lookup.Reset();
    }
    stretch.count = n;
}

bool RangeScan::Next(int64_t& rowid, RowImage& image)
{
    for (;;) {
        if (current_ && next_ < current_->count) {
            rowid = current_->read[next_];
            swap(image, current_->images[next_]);
            ++next_;
            return true;
        }
        if (current_ && current_->error)
            std::rethrow_exception(current_->error);
        std::unique_lock<std::mutex> lock(mutex_);
        if (current_) {
            current_->lower.reset();
            current_->upper.reset();
            spare_.push_back(std::move(current_));
        }
        changed_.wait(lock, [&] {
            return (!stretches_.empty() && stretches_.front()->ready) ||
                   (scoutDone_ && stretches_.empty());
        });
        if (stretches_.empty()) {
            if (scoutError_)
                std::rethrow_exception(scoutError_);
            return false;
        }
        current_ = std::move(stretches_.front());
        stretches_.pop_front();
        ++firstIndex_;
        next_ = 0;
        lock.unlock();
        changed_.notify_all();
    }
}

}  // namespace provider
