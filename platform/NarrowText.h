#pragma once

namespace platform {

// Whether the narrow text of the process is UTF-8: always on Linux, and on Windows when the ANSI
// code page of the running thread is (65001). Otherwise every byte is one character of that code
// page, and the bytes 0x80 to 0x9F are characters of it, not controls.
bool NarrowTextIsUtf8();

}  // namespace platform
