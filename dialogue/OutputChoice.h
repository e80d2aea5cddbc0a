#pragma once

#include <string>
#include <vector>

#include "lease/LeaseRecord.h"

namespace dialogue {

enum class OutputForm { Xml, Text, Nothing };

// No argument: the XML document; exactly "/text" in any case of its letters: the text file;
// anything else: no file at all.
OutputForm ChooseOutputForm(const std::vector<std::string>& arguments);

// Saves the leases in the form the arguments choose; with no lease at all nothing is saved and
// nothing said, not even an empty file.
void SaveInChosenForm(const lease::LeaseList& leases, const std::string& fileName,
                      const std::vector<std::string>& arguments);

}  // namespace dialogue
