#pragma once

namespace dialogue {

// The whole run on the console, from the banner to the key wait.
void RunDialogue();

}  // namespace dialogue
