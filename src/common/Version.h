// The version of the programs, as printed by --version.
#pragma once

namespace quill {

// The release number, such as "1.0.0" (the project version of the build).
const char* Version();

}  // namespace quill
