#pragma once

namespace dialogue {

// The whole run on the console, from the banner to the key wait. Gives the exit status: 0 for a
// clean run, 2 when the query wrote an error line, the file could not be saved, or the arguments
// chose no form, so that a script does not take an old file for today's.
int RunDialogue();

}  // namespace dialogue
