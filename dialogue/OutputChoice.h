#pragma once

#include <string>
#include <vector>

#include "lease/LeaseRecord.h"

namespace dialogue {

enum class OutputForm { Xml, Text, Nothing };

// No argument: the XML document; exactly "/text" in any case of its letters: the text file;
// anything else: no file at all.
OutputForm ChooseOutputForm(const std::vector<std::string>& arguments);

// The line for standard error when the arguments choose no form: it names the first argument
// that cannot stand where it is and the forms that are taken. Control bytes of the argument are
// written as '?', so that it stays one line.
std::string RejectedArgumentsLine(const std::vector<std::string>& arguments);

// What the output step came to.
enum class OutputResult {
  Saved,             // the file is in place
  NothingToSave,     // no lease was read: no file, not even an empty one
  NotSaved,          // the file could not be opened or written; an error line said so
  ArgumentsRejected  // the command line chose no form; standard error said so
};

// Saves the leases in the form the arguments choose. Arguments that choose no form save nothing
// and say so on standard error only, whether or not a lease was read; with no lease at all
// nothing is saved and nothing said, not even an empty file.
OutputResult SaveInChosenForm(const lease::LeaseList& leases, const std::string& fileName,
                              const std::vector<std::string>& arguments);

}  // namespace dialogue
