// The stand-in host's index from identifiers to records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vekhost::detail {

// Where each identifier's record lives (slot * 2, + 1 for a segment), in
// pages of identifiers. Identifiers are never given twice: once every
// identifier of a page has been given out and each one placed is removed
// again, the page is freed, so that the index holds the identifiers alive
// or given and not yet placed, not every one a long session used up.
class IdIndex {
public:
    static constexpr uint32_t kNowhere = UINT32_MAX;

    // One past the highest identifier given.
    size_t size() const { return size_; }
    // The record of `id` (below size()), or kNowhere.
    uint32_t operator[](size_t id) const {
        const Page& page = pages_[id >> kShift];
        if (!page.at) {
            return kNowhere;
        }
        const uint32_t at = page.at[id & kMask];
        return at == kGone ? kNowhere : at;
    }
    // Gives out the identifiers below `end`, none placed yet.
    void Give(size_t end);
    // Places `id` (given, below size()) at `at`, anew or again.
    void Place(size_t id, uint32_t at);
    // Removes a placed `id`; its page goes when nothing of it is left.
    void Remove(size_t id);
    // Pages holding records, for a look at what the index costs.
    size_t PagesHeld() const {
        return static_cast<size_t>(std::count_if(pages_.begin(), pages_.end(),
                                                 [](const Page& p) { return p.at != nullptr; }));
    }
    // f(id, at) for each placed identifier, in order.
    template <typename F>
    void ForEachPlaced(F f) const {
        for (size_t p = 0; p < pages_.size(); ++p) {
            for (size_t k = 0; pages_[p].at && k <= kMask; ++k) {
                const size_t id = (p << kShift) + k;
                if (id < size_ && (*this)[id] != kNowhere) {
                    f(id, (*this)[id]);
                }
            }
        }
    }

private:
    static constexpr uint32_t kGone = kNowhere - 1;  // placed once, removed since
    static constexpr size_t kShift = 16;
    static constexpr size_t kMask = (size_t{1} << kShift) - 1;
    // A page's records are made when one of its identifiers is placed.
    struct Page {
        std::unique_ptr<uint32_t[]> at;
        uint32_t open = 0;   // given and not yet placed, or placed and not removed
        bool freed = false;  // every identifier given, placed and removed
    };
    Page& PageOf(size_t id);

    std::vector<Page> pages_;
    size_t size_ = 0;
};

inline IdIndex::Page& IdIndex::PageOf(size_t id) {
    Page& page = pages_[id >> kShift];
    if (!page.at) {
        page.at = std::make_unique<uint32_t[]>(kMask + 1);
        std::fill(page.at.get(), page.at.get() + kMask + 1, page.freed ? kGone : kNowhere);
    }
    return page;
}

inline void IdIndex::Give(size_t end) {
    if (end > size_) {
        pages_.resize(((end - 1) >> kShift) + 1);
    }
    while (size_ < end) {
        // The rest of the page of size_, up to `end`.
        const size_t pageEnd = std::min(end, ((size_ >> kShift) + 1) << kShift);
        pages_[size_ >> kShift].open += static_cast<uint32_t>(pageEnd - size_);
        size_ = pageEnd;
    }
}

inline void IdIndex::Place(size_t id, uint32_t at) {
    Page& page = PageOf(id);
    uint32_t& here = page.at[id & kMask];
    if (here == kGone) {
        ++page.open;
    }
    here = at;
}

inline void IdIndex::Remove(size_t id) {
    Page& page = pages_[id >> kShift];
    page.at[id & kMask] = kGone;
    const bool allGiven = (((id >> kShift) + 1) << kShift) <= size_;
    if (--page.open == 0 && allGiven) {
        page.at.reset();
        page.freed = true;
    }
}

}  // namespace vekhost::detail
