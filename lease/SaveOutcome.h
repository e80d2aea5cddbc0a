#pragma once

namespace lease {

// What a writer did with its file.
struct SaveOutcome {
  bool saved = false;  // the file is in place with every record; otherwise an error line said why
  int records = 0;     // the leases that the saved file holds
};

}  // namespace lease
