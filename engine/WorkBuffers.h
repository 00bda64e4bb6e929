// Work buffers of the conversion passes: one figure under conversion, and the
// process-wide list of temporary segment copies.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>

// One element of the figure under conversion.
struct ElementSlot {
    uint32_t elementId;       // the element in the segment that was read
    uint32_t elementType;     // as VekElmGetType returned it
    LineTypeRecord lineType;  // as VekFigGetLineType filled it
    FigureRecord figure;      // as VekFigGetFigure filled it; rounded in place
    int32_t newElementId;     // element created from this slot, or -1
};

constexpr int32_t kFigureSlotCount = 3000;

// One figure: the key it was read with, then its elements from the first.
struct FigureBuffer {
    FigureKey key;
    int32_t count;
    ElementSlot slots[kFigureSlotCount];
};

constexpr int32_t kCopyListCapacity = 3000;

// Temporary copies made by the standard pass, in the order they were made.
struct CopyListRecord {
    int32_t count;
    VekId ids[kCopyListCapacity];
};

// Listed copies are deleted at the end of a run, at the start of the next
// run, or by the command's end callback when a run stopped early.
extern CopyListRecord CopyList;

// Deletes every listed copy, in list order. Copies the host would not delete
// stay listed; true when none is left.
bool DeleteListedCopies();

// A walk over a segment's elements, head to tail. It ends at the element the
// host names as the tail: a next element of -1 before it means the walk was
// cut short, not that the figure ended.
class WalkElements {
public:
    // False when the host names a head without a tail or the reverse.
    bool Start(VekId segment);
    // The head first, then the element after the one given last (or after
    // what replaced it); false at the tail's end or where the walk was cut
    // short. The element after the tail is never asked for.
    bool Next(VekId& element) {
        if (done_) {
            return false;
        }
        if (current_ == VEK_NONE) {
            element = head_;
        } else if (current_ == tail_) {
            done_ = true;
            return false;
        } else {
            element = VekElmGetNextElementId(current_);
            if (element == VEK_NONE) {
                done_ = cutShort_ = true;
                return false;
            }
        }
        current_ = element;
        return true;
    }
    // The host put `element` in place of the one given last.
    void Replace(VekId element);
    bool CutShort() const { return cutShort_; }

private:
    VekId head_ = VEK_NONE;
    VekId tail_ = VEK_NONE;
    VekId current_ = VEK_NONE;
    bool done_ = true;
    bool cutShort_ = false;
};

// The one figure buffer that both passes use, a run at a time.
extern FigureBuffer WorkFigure;

// How a walk over a figure's elements ended.
enum class WalkResult { Done, Unreadable, TooLarge };

// Reads every element of key.id into `buffer` (key kept in the buffer).
// Stops as soon as the last slot is filled, even when no element follows:
// at most kFigureSlotCount - 1 elements are ever converted. A walk cut short,
// or an element whose record, type or line type cannot be read, is
// Unreadable, with the element-info message shown; on TooLarge the caller
// shows its box.
WalkResult ReadFigure(FigureKey key, FigureBuffer& buffer);

// ReadFigure as the passes use it: on TooLarge shows `tooLargeBox` with the
// slot count. True when the whole figure was read; otherwise the pass stops.
bool ReadWholeFigure(FigureKey key, FigureBuffer& buffer, const VekChar* tooLargeBox);
