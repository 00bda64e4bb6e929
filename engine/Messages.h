// Texts the conversion passes show, and the formatting of a count into the
// texts that carry one. Everything works in caller-supplied fixed buffers.
#pragma once

#include "veksdk/VekLib.h"

#include <cstddef>
#include <cstdint>

namespace msg {

// Shown with VekDlgMessageBox after formatting %d.
inline constexpr const VekChar* CopyListFull =
    VEK_TEXT("DB 메모리용량(%d)의 총 갯수를 초과하였습니다.");
inline constexpr const VekChar* FigureTooLarge =
    VEK_TEXT("DB 메모리용량(%d)의 총 갯수를 초과하였습니다.(1)");
inline constexpr const VekChar* ExplodedFigureTooLarge =
    VEK_TEXT("DB 메모리용량(%d)의 총 갯수를 초과하였습니다.(2)");
inline constexpr const VekChar* FiguresModified = VEK_TEXT("총 %d개의 형상을 수정하였습니다.");

// Shown with VekMsgPutErrorMessage as they stand.
inline constexpr const VekChar* CopyRefused = VEK_TEXT("참조 형상을 복사할 수 없습니다.");
inline constexpr const VekChar* ElementUnreadable = VEK_TEXT("요소의 정보를 확인할 수 없습니다.");
inline constexpr const VekChar* ArcNotCorrectable = VEK_TEXT("원호를 보정할 수 없습니다(반복문)");
inline constexpr const VekChar* CreateRefused = VEK_TEXT("요소를 작성할 수 없습니다.(1)");
inline constexpr const VekChar* ExplodedCreateRefused = VEK_TEXT("요소를 작성할 수 없습니다.(100)");
inline constexpr const VekChar* InsertRefused = VEK_TEXT("요소를 추가할 수 없습니다.(2)");
inline constexpr const VekChar* LayerRefused = VEK_TEXT("레이어를 변경할수 없습니다..");
inline constexpr const VekChar* ChamferRefused = VEK_TEXT("모따기를 작성할수 없습니다..");
// A corner between elements of which one shrank to nothing on the grid.
inline constexpr const VekChar* CornerNeighbourGone =
    VEK_TEXT("이웃 요소가 없어져 모서리를 작성할 수 없습니다.");
// The host would not delete the picked figure: its converted figure goes again.
inline constexpr const VekChar* PickedNotDeleted = VEK_TEXT("원본 형상을 삭제할 수 없습니다.");
// A working copy still stands after the run tried twice to delete it.
inline constexpr const VekChar* CopyNotDeleted = VEK_TEXT("작업용 복사 형상을 삭제할 수 없습니다.");

// Room for any of the texts above with a formatted 32-bit number.
constexpr size_t kFormatCapacity = 128;

// Copies `pattern` into `out` (capacity `size`, always terminated), putting
// the decimal form of `value` in place of the first "%d". Returns `out`.
const VekChar* FormatCount(VekChar* out, size_t size, const VekChar* pattern, int32_t value);

// Formats `pattern` with `value` and shows it with VekDlgMessageBox.
void ShowCountBox(const VekChar* pattern, int32_t value);

}  // namespace msg
