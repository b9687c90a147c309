// The face of the regular-expression engine: a compiled Perl-syntax pattern
// over wide strings and the match results with one record per sub-match.
#pragma once

#include "regex/pattern_compiler.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace regex {

template <class It>
class basic_match_results {
public:
    basic_match_results() = default;
    virtual ~basic_match_results() = default;

    // Record 0 is the whole match, 1..n the groups by their opening parenthesis.
    const backref_tag<It>& backref(std::size_t i) const
    {
        if (i >= records_.size())
            throw std::out_of_range("invalid vector<T> subscript");
        return records_[i];
    }
    std::size_t cbackrefs() const { return records_.size(); }
    // Beginning of the subject range of the last match.
    It range_begin() const { return range_begin_; }

private:
    template <class, class> friend class basic_rpattern;
    std::vector<backref_tag<It>> records_;
    It range_begin_{};
};

class basic_rpattern_base {
public:
    virtual ~basic_rpattern_base() = default;
};

template <class It, class Syntax = perl_syntax>
class basic_rpattern : public basic_rpattern_base, protected detail::basic_rpattern_base_impl<It> {
    using impl = detail::basic_rpattern_base_impl<It>;

public:
    using results_type = basic_match_results<It>;

    // Compiles the pattern; raises bad_regexpr on a syntax error.
    explicit basic_rpattern(std::wstring pattern, pattern_flags flags = noflags,
                            match_mode mode = mode_recursive)
        : impl(std::move(pattern), flags, mode)
    {
        this->compile_pattern(flags);
    }

    // Compiles the pattern, then stores the substitution text parsed into
    // its parts; raises bad_regexpr when either is malformed.
    basic_rpattern(std::wstring pattern, std::wstring substitution, pattern_flags flags,
                   match_mode mode = mode_recursive)
        : impl(std::move(pattern), flags, mode)
    {
        this->compile_pattern(flags);
        this->set_substitution_text(std::move(substitution));
    }

    // Re-initialises the pattern from new arguments. The new pattern is
    // compiled whole before it replaces this one, so on bad_regexpr this
    // pattern (and its substitution) stays exactly as it was.
    void init(std::wstring pattern, pattern_flags flags = noflags,
              match_mode mode = mode_recursive)
    {
        basic_rpattern fresh(std::move(pattern), flags, mode);
        this->swap_contents(fresh);
    }
    void init(std::wstring pattern, std::wstring substitution, pattern_flags flags,
              match_mode mode = mode_recursive)
    {
        basic_rpattern fresh(std::move(pattern), std::move(substitution), flags, mode);
        this->swap_contents(fresh);
    }

    // Replaces the substitution; on a parse error the previous one stays.
    void set_substitution(const std::wstring& text) { this->set_substitution_text(text); }
    const std::wstring& substitution() const { return this->substitution_; }
    const std::vector<subst_part>& substitution_parts() const { return this->subst_parts_; }
    bool substitution_has_references() const { return this->has_backrefs_; }

    pattern_flags flags() const { return this->flags_; }
    match_mode mode() const { return this->mode_; }
    // Number of records a successful match reports (group 0 included).
    std::size_t cgroups() const { return this->capture_count_; }

    // Matches within the range that starts pos characters into the subject and
    // is len characters long (npos or too long: to the end). Returns the
    // whole-match record, or the never-matched record.
    const backref_tag<It>& match(const std::wstring& subject, results_type& results,
                                 std::size_t pos = 0, std::size_t len = std::wstring::npos) const
    {
        results.records_.clear();
        if (pos > subject.size()) {
            // Nothing lies there; refuse instead of reading past the end.
            results.records_.resize(this->capture_count_);
            results.range_begin_ = subject.end();
            return backref_tag<It>::never_matched();
        }
        const It begin = subject.begin() + static_cast<std::ptrdiff_t>(pos);
        const It end = len >= subject.size() - pos
                           ? subject.end()
                           : begin + static_cast<std::ptrdiff_t>(len);
        results.range_begin_ = begin;
        const bool matched = (this->flags_ & repeat_match) ? match_repeated(begin, end, results)
                                                           : match_once(begin, end, results);
        return matched ? results.records_[0] : backref_tag<It>::never_matched();
    }

private:
    bool match_once(It begin, It end, results_type& results) const
    {
        return attempt(begin, end, begin, false, results.records_);
    }

    // Each attempt starts where the previous match ended; the records kept
    // from successful attempts live apart from the working records, so a
    // failing attempt cannot wipe them.
    bool match_repeated(It begin, It end, results_type& results) const
    {
        std::vector<backref_tag<It>> work;
        std::vector<backref_tag<It>>& kept = results.records_;
        It search_start = begin;
        bool no_empty = false;
        bool any = false;
        while (attempt(begin, end, search_start, no_empty, work)) {
            if (this->flags_ & keep_whole_matches) {
                kept.push_back(work[0]);
            } else if (this->flags_ & keep_all_submatches) {
                kept.insert(kept.end(), work.begin(), work.end());
            } else {
                kept = work;
            }
            any = true;
            no_empty = work[0].first == work[0].second;
            search_start = work[0].second;
        }
        if (!any)
            kept = std::move(work);
        return any;
    }

    bool attempt(It begin, It end, It search_start, bool no_empty,
                 std::vector<backref_tag<It>>& records) const
    {
        return this->run_attempt(begin, end, search_start, no_empty, false, records);
    }
};

using rpattern = basic_rpattern<std::wstring::const_iterator>;
using match_results = basic_match_results<std::wstring::const_iterator>;

} // namespace regex
