#pragma once
// The template files shipped beside the program, found by name.

#include <string>
#include <vector>

#include "store/messages.h"

namespace zelvant::report {

// Where the program looks for its templates: "templates" beside the program file.
std::string TemplatesFolder(const std::string& programFolder);

// The names of the *.ZVT files in `folder` (extension in any case, as files copied from Windows
// come), each without its extension, sorted as a list box sorts them. None for a missing folder.
std::vector<std::string> ListTemplates(const std::string& folder);

// The file of a listed template: the existing file whose name is `name` plus an extension
// ".zvt" in any case, else `name` + ".ZVT" in the folder.
std::string TemplateFilePath(const std::string& folder, const std::string& name);

// "Cannot find template file\n" + path, for callers that go by template name.
Message MissingTemplateFileMessage(const std::string& path);

}  // namespace zelvant::report
