#pragma once
// The report template files (*.ZVT): the folders they are looked up in, and finding them by name.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/messages.h"

namespace zelvant::report {

// "templates" beside the program file: where a build tree keeps them.
std::string TemplatesFolder(const std::string& programFolder);

// The names of the *.ZVT files in `folder` (extension in any case, as files copied from Windows
// come), each without its extension, sorted as a list box sorts them. None for a missing folder.
std::vector<std::string> ListTemplates(const std::string& folder);

// The file of a listed template: the existing file whose name is `name` plus an extension
// ".zvt" in any case, else `name` + ".ZVT" in the folder.
std::string TemplateFilePath(const std::string& folder, const std::string& name);

// "Cannot find template file\n" + path, for callers that go by template name.
Message MissingTemplateFileMessage(const std::string& path);

struct TemplateFolder {
    std::string path;
    bool user = false;  // the user's own folder, not one the system or the program provides
};

struct TemplateEntry {
    std::string name;
    std::string path;
    bool user = false;
};

// An environment variable's value, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The folders searched for templates by name, in order: $XDG_DATA_HOME/zelvant/templates (the
// user's), zelvant/templates in each of $XDG_DATA_DIRS, the installed share/zelvant/templates
// found from the program's folder, then "templates" beside the program. Each folder appears once.
// Never the current folder: relative paths in the variables are ignored, as XDG asks.
std::vector<TemplateFolder> TemplateFolders(const std::string& programFolder,
                                            const EnvironmentLookup& environment);
std::vector<TemplateFolder> TemplateFolders(const std::string& programFolder);

// Every template in `folders`, sorted by name; a name found in an earlier folder hides the same
// name in later ones.
std::vector<TemplateEntry> FindTemplates(const std::vector<TemplateFolder>& folders);

// The template called `name` (as written; the extension's case is free) in the first folder that
// has it.
std::optional<TemplateEntry> FindTemplate(const std::vector<TemplateFolder>& folders,
                                          const std::string& name);

}  // namespace zelvant::report
