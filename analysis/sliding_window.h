// Quantiles of a window that slides forward over a series.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace hrv {

// The nearest rank of the q-quantile (q in 0..1) among `size` values, from 0.
inline std::size_t RankOf(double q, std::size_t size) {
    return static_cast<std::size_t>(q * static_cast<double>(size - 1) + 0.5);
}

// The values at or above 0 among those within `half` places of a position that only moves
// forward, kept in order as it moves: a quantile is then read off instead of selected afresh
// at every position, and it is the value a selection of rank RankOf over the window's values
// (std::nth_element) gives.
class SlidingWindow {
public:
    SlidingWindow(const std::vector<double>& values, int half)
        : values_(values), half_(static_cast<std::size_t>(half)) {
        sorted_.reserve(2 * half_ + 1);
        merged_.reserve(2 * half_ + 1);
    }

    // Centres the window on `at`, at or after the place it had: the values that leave and those
    // that come in are sorted, and one pass merges them with the ones that stay.
    void MoveTo(std::size_t at) {
        const std::size_t lo = at > half_ ? at - half_ : 0;
        const std::size_t hi = std::min(values_.size(), at + half_ + 1);
        Take(begin_, std::min(lo, end_), leaving_);
        Take(std::max(end_, lo), hi, coming_);
        begin_ = lo;
        end_ = std::max(end_, hi);
        if (leaving_.empty() && coming_.empty()) {
            return;
        }
        merged_.clear();
        std::size_t in = 0;
        std::size_t out = 0;
        for (const double v : sorted_) {
            if (out < leaving_.size() && v == leaving_[out]) {
                ++out;
                continue;
            }
            for (; in < coming_.size() && coming_[in] < v; ++in) {
                merged_.push_back(coming_[in]);
            }
            merged_.push_back(v);
        }
        merged_.insert(merged_.end(), coming_.begin() + static_cast<std::ptrdiff_t>(in),
                       coming_.end());
        sorted_.swap(merged_);
    }

    std::size_t Size() const { return sorted_.size(); }

    // The q-quantile of the window's values (nearest rank, RankOf); 0 when it is empty.
    double Quantile(double q) const {
        return sorted_.empty() ? 0 : sorted_[RankOf(q, sorted_.size())];
    }

    // The median of the window's distances |v - level|: the distances grow outwards from
    // `level` on either side, so the two sides are merged up to the median's rank.
    double MedianDistance(double level) const {
        if (sorted_.empty()) {
            return 0;
        }
        const std::size_t n = sorted_.size();
        const std::size_t rank = RankOf(0.5, n);
        auto right = static_cast<std::size_t>(
            std::lower_bound(sorted_.begin(), sorted_.end(), level) - sorted_.begin());
        std::size_t left = right; // the values below level are sorted_[0..left)
        double d = 0;
        for (std::size_t taken = 0; taken <= rank; ++taken) {
            if (left > 0 && (right == n || level - sorted_[left - 1] <= sorted_[right] - level)) {
                d = level - sorted_[--left];
            } else {
                d = sorted_[right++] - level;
            }
        }
        return d;
    }

private:
    // The values at or above 0 of values_[from..to), sorted, into `v`.
    void Take(std::size_t from, std::size_t to, std::vector<double>& v) const {
        v.clear();
        for (std::size_t i = from; i < to; ++i) {
            if (values_[i] >= 0) {
                v.push_back(values_[i]);
            }
        }
        std::sort(v.begin(), v.end());
    }

    const std::vector<double>& values_;
    std::size_t half_;
    std::size_t begin_ = 0; // values_[begin_..end_) are in the window
    std::size_t end_ = 0;
    std::vector<double> sorted_;
    std::vector<double> merged_;
    std::vector<double> leaving_;
    std::vector<double> coming_;
};

} // namespace hrv
