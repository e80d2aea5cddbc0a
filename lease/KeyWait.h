#pragma once

namespace lease {

// "Press any key to exit" after an empty line, then the wait for a key.
void WaitForKey();

}  // namespace lease
