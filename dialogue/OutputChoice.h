#pragma once

#include <string>
#include <vector>

namespace dialogue {

enum class OutputForm { Xml, Text, Nothing };

// No argument: the XML document; exactly "/text" in any case of its letters: the text file;
// anything else: no file at all.
OutputForm ChooseOutputForm(const std::vector<std::string>& arguments);

}  // namespace dialogue
