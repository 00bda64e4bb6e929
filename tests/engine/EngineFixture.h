// Common set-up of the engine tests: a fresh stand-in drawing, the command
// state as the library starts with it, and a few helpers to look at results.
#pragma once

#include "state/CommandState.h"
#include "platform/veklib/VekHost.h"
#include "engine/WorkBuffers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        vekhost::Reset();
        ActiveSettings = SettingsRecord{};
        RefPoint[0] = 0.0;
        RefPoint[1] = 0.0;
        CopyList.count = 0;
    }
    void TearDown() override {
        CopyList.count = 0;
        vekhost::Reset();
    }

    static void Settings(int32_t d, int32_t inchmm = 0) {
        ActiveSettings.d_point = d;
        ActiveSettings.inchmm = inchmm;
    }

    // A fresh drawing and command state for one run of many in a test.
    static void Restart(int32_t d, int32_t inchmm, const double ref[2]) {
        vekhost::Reset();
        CopyList.count = 0;
        ActiveSettings = SettingsRecord{};
        Settings(d, inchmm);
        RefPoint[0] = ref[0];
        RefPoint[1] = ref[1];
    }

    // Texts the host showed of one kind, as UTF-16.
    static std::vector<std::u16string> Shown(vekhost::MessageKind kind) {
        std::vector<std::u16string> texts;
        for (const vekhost::Message& m : vekhost::Messages()) {
            if (m.kind == kind) {
                texts.push_back(m.text);
            }
        }
        return texts;
    }
    static std::vector<std::u16string> Errors() { return Shown(vekhost::MessageKind::Error); }
    static std::vector<std::u16string> Boxes() { return Shown(vekhost::MessageKind::Box); }

    // The call log reduced to call names.
    static std::vector<std::string> CallNames() {
        std::vector<std::string> names;
        for (const std::string& entry : vekhost::CallLog()) {
            names.push_back(entry.substr(0, entry.find('(')));
        }
        return names;
    }

    static vekhost::Segment Seg(VekId id) {
        auto segment = vekhost::GetSegment(id);
        EXPECT_TRUE(segment.has_value()) << "segment " << id;
        return segment.value_or(vekhost::Segment{});
    }
    static bool Exists(VekId id) { return vekhost::GetSegment(id).has_value(); }
};

// A record made by hand, for kinds the driver has no builder for.
inline FigureRecord Record(uint32_t kind) {
    FigureRecord r{};
    r.kind = kind;
    return r;
}

inline const std::u16string kCopyListFull = u"DB 메모리용량(3000)의 총 갯수를 초과하였습니다.";
inline const std::u16string kTooLarge1 = u"DB 메모리용량(3000)의 총 갯수를 초과하였습니다.(1)";
inline const std::u16string kTooLarge2 = u"DB 메모리용량(3000)의 총 갯수를 초과하였습니다.(2)";
inline const std::u16string kCopyRefused = u"참조 형상을 복사할 수 없습니다.";
inline const std::u16string kUnreadable = u"요소의 정보를 확인할 수 없습니다.";
inline const std::u16string kArcLoop = u"원호를 보정할 수 없습니다(반복문)";
inline const std::u16string kCreate1 = u"요소를 작성할 수 없습니다.(1)";
inline const std::u16string kCreate100 = u"요소를 작성할 수 없습니다.(100)";
inline const std::u16string kInsert2 = u"요소를 추가할 수 없습니다.(2)";
inline const std::u16string kLayer = u"레이어를 변경할수 없습니다..";
inline const std::u16string kChamfer = u"모따기를 작성할수 없습니다..";
inline const std::u16string kNeighbourGone = u"이웃 요소가 없어져 모서리를 작성할 수 없습니다.";
inline const std::u16string kPickedNotDeleted = u"원본 형상을 삭제할 수 없습니다.";
inline const std::u16string kCopyNotDeleted = u"작업용 복사 형상을 삭제할 수 없습니다.";

inline std::u16string Modified(int n) {
    std::u16string text = u"총 ";
    for (char c : std::to_string(n)) {
        text += char16_t(c);
    }
    return text + u"개의 형상을 수정하였습니다.";
}
