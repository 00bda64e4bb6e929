// The host's messages in plain English: the command speaks Korean, and a
// user of vekhost should not need to read it to know what went wrong.
#pragma once

#include <string>

namespace vekhost_tool {

// `message` (UTF-8, as the host showed it) followed by a short English
// explanation in brackets: "총 3개의 형상을 수정하였습니다. [3 figures were
// changed]". A message the command does not show comes back as it is.
std::string Explained(const std::string& message);

}  // namespace vekhost_tool
