#include "tools/vekhost/RunRecorder.h"

#include "tools/vekhost/CommandPlay.h"

#include <cstring>
#include <utility>

namespace vekhost_tool {

namespace {

bool Is(const vekhost::ObservedCall& call, const char* name) {
    return std::strcmp(call.name, name) == 0;
}

VekId IdOf(double value) {
    return value >= 0 ? static_cast<VekId>(value) : VEK_NONE;
}

}  // namespace

RunRecorder::RunRecorder(std::vector<VekId> picked) {
    for (VekId id : vekhost::Segments()) {
        if (auto segment = vekhost::GetSegment(id)) {
            recording_.drawingBefore.push_back(std::move(*segment));
        }
    }
    recording_.picked = std::move(picked);
    for (VekId id : recording_.picked) {
        recording_.figures[id];
    }
    vekhost::SetCallObserver([this](const vekhost::ObservedCall& call) { See(call); });
    observing_ = true;
}

RunRecorder::~RunRecorder() {
    if (observing_) {
        vekhost::SetCallObserver({});
    }
}

void RunRecorder::OnFigure(std::function<void(size_t, size_t)> progress) {
    progress_ = std::move(progress);
}

RunRecording RunRecorder::Finish() {
    if (observing_) {
        vekhost::SetCallObserver({});
        observing_ = false;
    }
    return std::move(recording_);
}

void RunRecorder::See(const vekhost::ObservedCall& call) {
    // Most calls are none of those below: tell them by the letter after
    // "Vek" before comparing names (a run makes millions of calls).
    switch (std::strncmp(call.name, "Vek", 3) == 0 ? call.name[3] : '\0') {
        case 'I':
        case 'F':
        case 'A':
        case 'M':
        case 'D':
            break;
        default:
            return;
    }
    // Only a figure that was picked has calls of its own.
    FigureCalls* figure = nullptr;
    if (call.entry != VEK_NONE) {
        const auto it = recording_.figures.find(call.entry);
        figure = it == recording_.figures.end() ? nullptr : &it->second;
    }
    if (Is(call, "VekIddOpenSelIdData")) {
        recording_.selectionOpened = true;
        recording_.countShown = false;  // a further run of the command has yet to say it
    } else if (Is(call, "VekIddGetHeadSelIdData") || Is(call, "VekIddGetNextSelIdData")) {
        if (call.result == 0 && figure != nullptr) {
            figure->handedOut = true;
            ++reached_;
            if (progress_) {
                progress_(reached_, recording_.picked.size());
            }
        }
    } else if (Is(call, "VekFigAddCorner") && figure != nullptr && call.argCount >= 4) {
        figure->corners.push_back({IdOf(call.args[0]), IdOf(call.args[1]),
                                   static_cast<int>(call.args[2]), call.args[3],
                                   IdOf(call.result)});
    } else if (Is(call, "VekAriTanCir2Pnts") && figure != nullptr && call.argCount >= 5) {
        figure->tangents.push_back({call.args[0],
                                    {call.args[1], call.args[2]},
                                    {call.args[3], call.args[4]},
                                    call.result > 0 ? static_cast<int>(call.result) : 0});
    } else if (Is(call, "VekMsgPutErrorMessage") || Is(call, "VekDlgMessageBox")) {
        // The selection is closed on every way out; only the count at the
        // end tells a run that went through the whole selection.
        if (Is(call, "VekDlgMessageBox") && IsFinalCount(call.text)) {
            recording_.countShown = true;
        }
        (figure != nullptr ? figure->messages : recording_.messages)
            .push_back(vekhost::ToUtf8(call.text));
    }
}

}  // namespace vekhost_tool
