// One run of a conversion pass with a host call made to fail, and what the
// drawing holds afterwards, for the tests that fail host calls.
#pragma once

#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"
#include "engine/WorkBuffers.h"
#include "platform/veklib/VekHost.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

enum class Pass { Standard, Exploded };

inline const char* PassName(Pass pass) {
    return pass == Pass::Standard ? "standard" : "exploded";
}

// A segment as the host holds it, byte for byte.
struct Content {
    VekId layer;
    bool closed;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> elements;

    explicit Content(const vekhost::Segment& s) : layer(s.layer), closed(s.closed) {
        for (const auto& e : s.elements) {
            std::vector<uint8_t> bytes(sizeof e.figure + sizeof e.lineType);
            std::memcpy(bytes.data(), &e.figure, sizeof e.figure);
            std::memcpy(bytes.data() + sizeof e.figure, &e.lineType, sizeof e.lineType);
            elements.emplace_back(e.type, std::move(bytes));
        }
    }
    bool operator==(const Content&) const = default;
};

// The segments made of the picked figure `source`, in drawing order.
inline std::vector<Content> MadeFrom(VekId source) {
    std::vector<Content> made;
    for (VekId id : vekhost::Segments()) {
        if (vekhost::SourceOf(id) == source) {
            made.emplace_back(*vekhost::GetSegment(id));
        }
    }
    return made;
}

// The pass on the completed selection of `picked`, the nth use of `call`
// failing (none when `call` is empty). The work buffer is filled with junk
// first, so that nothing relies on what an earlier run left in it.
inline int32_t RunFailing(Pass pass, const std::vector<VekId>& picked, const std::string& call = {},
                          int nth = 1) {
    std::memset(static_cast<void*>(&WorkFigure), 0xBD, sizeof WorkFigure);
    vekhost::Select(picked);
    if (!call.empty()) {
        vekhost::FailCall(call, nth);
    }
    return (pass == Pass::Standard ? StandardPass : ExplodedPass)(0, 0, 0, 0);
}
