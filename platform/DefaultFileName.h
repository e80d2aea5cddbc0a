#pragma once

namespace platform {

// Where the result file goes when the user takes the default: the home platform's drive-letter
// path on Windows, the working directory elsewhere.
const char* DefaultResultFileName();

}  // namespace platform
