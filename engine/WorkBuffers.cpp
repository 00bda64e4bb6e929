#include "engine/WorkBuffers.h"

#include "engine/Messages.h"

CopyListRecord CopyList = {};
FigureBuffer WorkFigure = {};

bool DeleteListedCopies() {
    int32_t kept = 0;
    for (int32_t i = 0; i < CopyList.count && i < kCopyListCapacity; ++i) {
        if (VekSgmDeleteSegment(CopyList.ids[i]) == -1) {
            CopyList.ids[kept++] = CopyList.ids[i];
        }
    }
    CopyList.count = kept;
    return kept == 0;
}

bool WalkElements::Start(VekId segment) {
    head_ = VekSgmGetHeadElementId(segment);
    tail_ = VekSgmGetTailElementId(segment);
    current_ = VEK_NONE;
    done_ = head_ == VEK_NONE;
    cutShort_ = false;
    // A figure has both ends or neither; one without the other is a failed read.
    return (head_ == VEK_NONE) == (tail_ == VEK_NONE);
}

void WalkElements::Replace(VekId element) {
    if (current_ == tail_) {
        tail_ = element;
    }
    current_ = element;
}

WalkResult ReadFigure(FigureKey key, FigureBuffer& buffer) {
    buffer.key = key;
    buffer.count = 0;
    WalkElements walk;
    if (!walk.Start(VekId(key.id))) {
        VekMsgPutErrorMessage(msg::ElementUnreadable);
        return WalkResult::Unreadable;
    }
    VekId element = VEK_NONE;
    while (walk.Next(element)) {
        ElementSlot& slot = buffer.slots[buffer.count];
        const FigureKey elementKey{key.context, uint32_t(element)};
        // -1 from any read is the host's failure, never a type or a record.
        int32_t type = -1;
        if (VekFigGetFigure(&elementKey, &slot.figure) == -1 ||
            (type = VekElmGetType(element)) < 0 ||
            VekFigGetLineType(element, &slot.lineType) == -1) {
            VekMsgPutErrorMessage(msg::ElementUnreadable);
            return WalkResult::Unreadable;
        }
        slot.elementId = uint32_t(element);
        slot.elementType = uint32_t(type);
        slot.newElementId = VEK_NONE;
        if (++buffer.count == kFigureSlotCount) {
            return WalkResult::TooLarge;
        }
    }
    if (walk.CutShort()) {
        VekMsgPutErrorMessage(msg::ElementUnreadable);
        return WalkResult::Unreadable;
    }
    return WalkResult::Done;
}

bool ReadWholeFigure(FigureKey key, FigureBuffer& buffer, const VekChar* tooLargeBox) {
    switch (ReadFigure(key, buffer)) {
        case WalkResult::Done:
            return true;
        case WalkResult::Unreadable:
            return false;
        case WalkResult::TooLarge:
            msg::ShowCountBox(tooLargeBox, kFigureSlotCount);
            return false;
    }
    return false;
}
