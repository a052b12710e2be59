#pragma once
#include <string>
#include <vector>

// What a start's command line names. The arguments joined with single blanks are taken whole
// when that path exists (a name with blanks that the shell split); otherwise every argument
// that names an existing file or folder is taken, in argument order. Relative names are taken
// against the folder the program was started in. The items then fill the playlist as a drop
// on the main window does: sorted, folders searched, a list file loaded.
struct CommandLineItems {
    std::vector<std::string> items;          // absolute paths that exist
    std::vector<std::string> namingNothing;  // arguments as given that name nothing
};

CommandLineItems ClassifyCommandLine(const std::vector<std::string>& arguments, const std::string& startFolder);

// One line on standard error for each argument that names nothing: it never becomes an entry.
void ReportArgumentsNamingNothing(const CommandLineItems& commandLine);
